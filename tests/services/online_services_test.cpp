#include "services/online_services.h"

#include "services/usage_counter.h"
#include "standins/hosting_standin.h"
#include "support/gbk_literal.h"
#include "support/recording_form.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <thread>

namespace quorvane {
namespace {

using namespace std::chrono_literals;
using standins::HostingStandin;
using testing::RecordingForm;

TEST(UsageLine, CutsTheCountsOutOfTheCounterPage) {
  const std::pair<std::string, std::string> cases[] = {
      {G("今天访问：12&#10 ... 累计访问：3456&#10;点击申请计数器"), G("软件已被使用：3456 今天访问：12")},
      {G("今天访问：12&#10 没有总数"), G("软件已被使用： 今天访问：12")},
      {"", G("软件已被使用： 今天访问：")},
      {G("超时返回，你可以把参数中的超时值设置长一些。"), G("软件已被使用： 今天访问：")},
  };
  for (const auto& [page, line] : cases) {
    EXPECT_EQ(UsageLine(page), line);
  }
}

class OnlineServicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form_.SetCaption(Control::当前版本号, "v15.10.13");
    endpoints_.HostingHomeAddress = hosting_.HomeAddress();
    endpoints_.HostingLinkPrefix = hosting_.LinkPrefix();
  }

  // The pages of a maker who publishes `record`, with the release folder `folder` of
  // id 777 holding `files`.
  void Publish(const std::string& record, const std::string& folder = G("正式版"),
               const std::vector<std::string>& files = {"readme.txt", "quorvane_v16.zip"}) {
    hosting_.SetPages({HostingStandin::HomePage(record, hosting_.ListingAddress()),
                       HostingStandin::ListingPage(folder, "777"),
                       HostingStandin::FileList(hosting_.LinkPrefix(), files)});
  }

  OnlineServices& Services() {
    if (!services_) {
      services_ = std::make_unique<OnlineServices>(form_, globals_, endpoints_, RetryPauses{50ms, 200ms},
                                                   HostingTimeouts{2s, 2s});
    }
    return *services_;
  }

  // Starts the chain and waits until it ends or has gone back to the notice once.
  bool RunChain() {
    Services().StartChain();
    for (int i = 0; i < 500; ++i) {
      if (!Services().Running()) {
        return true;
      }
      if (Services().NoticeRuns() >= 2) {
        return false;
      }
      std::this_thread::sleep_for(10ms);
    }
    return false;
  }

  HostingStandin hosting_;
  RecordingForm form_;
  Endpoints endpoints_;
  std::shared_ptr<OnlineServiceGlobals> globals_ = std::make_shared<OnlineServiceGlobals>();
  std::unique_ptr<OnlineServices> services_;
};

TEST_F(OnlineServicesTest, ReadsTheFirstNoticeRecordAndTheListingAddress) {
  // A fifth field is ignored, and a second record as well.
  hosting_.SetPages({HostingStandin::HomePage(G("v16|正式版|v16|一 二 三 四|第五段"), hosting_.ListingAddress()) +
                         G("配3【X|Y|Z|W】"),
                     "", ""});
  ASSERT_TRUE(RunChain());
  std::lock_guard lock(globals_->lock);
  EXPECT_EQ(globals_->PublishedVersion, "v16");
  EXPECT_EQ(globals_->ReleaseFolderName, G("正式版"));
  EXPECT_EQ(globals_->ReleaseFileMark, "v16");
  EXPECT_EQ(globals_->UpdateMessageText, G("一 二 三 四"));
  EXPECT_EQ(globals_->NoticeFields.size(), 5u);
  EXPECT_EQ(globals_->UpdateMessageWords, (std::vector<std::string>{G("一"), G("二"), G("三"), G("四")}));
  EXPECT_EQ(globals_->ListingAddress, hosting_.ListingAddress());
}

TEST_F(OnlineServicesTest, UnusableRecordsAreTriedAgainWithoutTouchingTheWindow) {
  const std::string homes[] = {
      HostingStandin::HomePage(G("v16|正式版】|v16|一 二 三 四"), hosting_.ListingAddress()),  // cut to two fields
      HostingStandin::HomePage(G("v16|正式版|\nv16|一 二 三 四"), hosting_.ListingAddress()),  // across a line feed
      G("<html>没有记录</html>"),
      "",
  };
  for (const std::string& home : homes) {
    hosting_.SetPages({home, "", ""});
    services_.reset();
    EXPECT_FALSE(RunChain());
    EXPECT_GE(Services().NoticeRuns(), 2);
  }
  EXPECT_TRUE(form_.Messages().empty());
  EXPECT_TRUE(form_.Changes().empty());
}

TEST_F(OnlineServicesTest, UpperCaseAttributesStillGiveTheListingAddress) {
  hosting_.SetPages({G("配3【v15.10.13|f|m|a b c d】<IFRAME SRC=\"") + hosting_.ListingAddress() +
                         "\" STYLE=\"display:none;\">",
                     "", ""});
  ASSERT_TRUE(RunChain());
  std::lock_guard lock(globals_->lock);
  EXPECT_EQ(globals_->ListingAddress, hosting_.ListingAddress());
}

TEST_F(OnlineServicesTest, FindsTheFolderAndPostsForItsFiles) {
  Publish(G("v15.10.13|正式版|v16|一 二 三 四"));
  ASSERT_TRUE(RunChain());
  {
    std::lock_guard lock(globals_->lock);
    EXPECT_EQ(globals_->ReleaseFolderId, "777");
  }
  const auto requests = hosting_.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].requestLine, "GET / HTTP/1.1");
  EXPECT_EQ(requests[1].requestLine, "GET /listing.asp?u=20151013 HTTP/1.1");
  const auto& post = requests[2];
  EXPECT_EQ(post.requestLine, "POST /listing.asp?u=20151013 HTTP/1.1");
  EXPECT_EQ(post.body, "Yz0=dq&Yz1=777&Yz2=&Yz3=&Yz4=");
  EXPECT_EQ(post.Header("Referer"), hosting_.ListingAddress());
  EXPECT_EQ(post.Header("Content-Type"), "application/x-www-form-urlencoded");
  EXPECT_EQ(post.Header("Content-Length"), "29");
}

TEST_F(OnlineServicesTest, EqualVersionsAskNothingButKnowTheAddress) {
  Publish(G("v15.10.13|正式版|v16|一 二 三 四"));
  ASSERT_TRUE(RunChain());
  EXPECT_TRUE(form_.Messages().empty());
  EXPECT_TRUE(form_.Changes().empty());
  std::lock_guard lock(globals_->lock);
  EXPECT_EQ(globals_->NewVersionAddress, hosting_.LinkPrefix() + "quorvane_v16.zip");
}

TEST_F(OnlineServicesTest, ANewVersionAnsweredYesShowsTheButtonAndTheNotice) {
  Publish(G("V15.10.13|正式版|v16|一 发现新版本 更快 请下载"));  // differs only in letter case
  form_.answer = MessageAnswer::Yes;
  ASSERT_TRUE(RunChain());
  const auto messages = form_.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, G("发现新版本\r\n更快\r\n请下载"));
  EXPECT_EQ(messages[0].caption, G("发现新版本"));
  EXPECT_EQ(messages[0].buttons, MessageButtons::YesNo);
  EXPECT_EQ(messages[0].icon, MessageIcon::Question);
  EXPECT_EQ(form_.Changes(),
            (std::vector<std::string>{"visible 按钮5", "visible 标签8", "width 标签8 576", "height 标签8 192"}));
}

TEST_F(OnlineServicesTest, ANewVersionAnsweredNoChangesNothing) {
  Publish(G("v16|正式版|v16|一 二 三 四"));
  form_.answer = MessageAnswer::No;
  ASSERT_TRUE(RunChain());
  EXPECT_EQ(form_.Messages().size(), 1u);
  EXPECT_TRUE(form_.Changes().empty());
}

TEST_F(OnlineServicesTest, FewerThanFourWordsAskNothing) {
  Publish(G("v16|正式版|v16|只有 三个 词"));
  form_.answer = MessageAnswer::Yes;
  ASSERT_TRUE(RunChain());
  EXPECT_TRUE(form_.Messages().empty());
  EXPECT_TRUE(form_.Changes().empty());
}

TEST_F(OnlineServicesTest, TheFirstLinkWithTheMarkCounts) {
  const struct {
    std::string mark;
    std::vector<std::string> files;
    std::string expected;
  } cases[] = {
      {"v16", {"readme.txt", "quorvane_v16_a.zip", "quorvane_v16_b.zip"}, "quorvane_v16_a.zip"},
      {"", {"", "first.zip", "second.zip"}, "first.zip"},     // an empty mark is in every non-empty link
      {"V16", {"quorvane_v16.zip"}, ""},                        // the mark respects letter case
  };
  for (const auto& c : cases) {
    Publish("v15.10.13|" + G("正式版") + "|" + c.mark + "|" + G("一 二 三 四"), G("正式版"), c.files);
    services_.reset();
    ASSERT_TRUE(RunChain()) << c.mark;
    std::lock_guard lock(globals_->lock);
    EXPECT_EQ(globals_->NewVersionAddress, c.expected.empty() ? "" : hosting_.LinkPrefix() + c.expected) << c.mark;
    globals_->NewVersionAddress.clear();
  }
}

TEST_F(OnlineServicesTest, FolderNamesAreExpressions) {
  const struct {
    std::string published, listed, id;
  } cases[] = {
      {"Rel.ase", "Release", "777"},          // "." matches any character
      {"v1 (beta)", "v1 (beta)", ""},         // parentheses group; the literal text does not match
      {"a(b", "a(b", ""},                     // malformed: nothing matches, nothing breaks
  };
  for (const auto& c : cases) {
    Publish("v15.10.13|" + c.published + "|v16|" + G("一 二 三 四"), c.listed);
    services_.reset();
    ASSERT_TRUE(RunChain()) << c.published;
    std::lock_guard lock(globals_->lock);
    EXPECT_EQ(globals_->ReleaseFolderId, c.id) << c.published;
  }
}

TEST_F(OnlineServicesTest, HostilePagesEndTheChainInsteadOfKeepingACoreBusy) {
  // Unclosed runs of both markers of the home page, each on a line of its own, before
  // the real record.
  std::string home;
  for (const std::string& marker : {G("配3【"), std::string("src=\"")}) {
    std::string run;
    while (run.size() < 320 * 1024) {
      run += marker;
    }
    home += run + '\n';
  }
  // A folder name whose expression backtracks without end on a listing of many "a".
  home += HostingStandin::HomePage(G("v15.10.13|(a+)+b|v16|一 二 三 四"), hosting_.ListingAddress());
  hosting_.SetPages({home, HostingStandin::ListingPage(std::string(40, 'a'), "777"),
                     HostingStandin::FileList(hosting_.LinkPrefix(), {"v16.zip"})});
  ASSERT_TRUE(RunChain());
  std::lock_guard lock(globals_->lock);
  EXPECT_EQ(globals_->PublishedVersion, "v15.10.13");
  EXPECT_EQ(globals_->ListingAddress, hosting_.ListingAddress());
  EXPECT_EQ(globals_->ReleaseFolderId, "");
}

TEST_F(OnlineServicesTest, TheWindowsLockIsFreeWhileAMatchRuns) {
  Publish(G("v15.10.13|正式版|v16|一 二 三 四"));
  std::unique_lock busyRegex(globals_->regexLock);  // stands for a match that takes long
  Services().StartChain();
  for (int i = 0; i < 500 && hosting_.Requests().size() < 2; ++i) {
    std::this_thread::sleep_for(10ms);
  }
  ASSERT_EQ(hosting_.Requests().size(), 2u);  // the listing has come
  // What a click on the new-version button does, while the chain waits for the match.
  bool read = false;
  for (int i = 0; i < 200 && !read; ++i) {
    std::unique_lock lock(globals_->lock, std::try_to_lock);
    read = lock.owns_lock() && globals_->NewVersionAddress.empty();
    if (!read) {
      std::this_thread::sleep_for(10ms);
    }
  }
  EXPECT_TRUE(read);
  EXPECT_TRUE(Services().Running());
  busyRegex.unlock();
  ASSERT_TRUE(RunChain());
  std::lock_guard lock(globals_->lock);
  EXPECT_EQ(globals_->ReleaseFolderId, "777");
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

TEST_F(OnlineServicesTest, RetriesWithGrowingPausesUntilThePageComesUp) {
  hosting_.SetPages({"", "", ""});  // the home page is down
  const double cpuBefore = CpuSeconds();
  Services().StartChain();
  Services().StartChain();  // a second start while one runs does nothing
  std::this_thread::sleep_for(1s);
  const int runs = Services().NoticeRuns();
  EXPECT_GE(runs, 3);
  EXPECT_LE(runs, 8);  // 50, 100, 200, 200 … ms apart, not a busy loop
  EXPECT_LT(CpuSeconds() - cpuBefore, 0.5);
  EXPECT_TRUE(form_.Messages().empty());

  form_.answer = MessageAnswer::Yes;
  Publish(G("v16|正式版|v16|一 二 三 四"));
  for (int i = 0; i < 300 && Services().Running(); ++i) {
    std::this_thread::sleep_for(10ms);
  }
  EXPECT_FALSE(Services().Running());
  EXPECT_EQ(form_.Messages().size(), 1u);
}

TEST_F(OnlineServicesTest, StopEndsAWaitingChainAtOnce) {
  hosting_.SetPages({"", "", ""});
  services_ = std::make_unique<OnlineServices>(form_, globals_, endpoints_, RetryPauses{10min, 10min});
  Services().StartChain();
  std::this_thread::sleep_for(200ms);
  const auto start = Clock::now();
  BlockingEventPump pump;
  Services().Stop(pump, 5s);
  EXPECT_LT(Clock::now() - start, 1s);
}

TEST_F(OnlineServicesTest, LargePagesAreRead) {
  std::string home(10 << 20, 'x');
  home += HostingStandin::HomePage(G("v15.10.13|正式版|v16|一 二 三 四"), hosting_.ListingAddress());
  hosting_.SetPages({home, HostingStandin::ListingPage(G("正式版"), "777"),
                     HostingStandin::FileList(hosting_.LinkPrefix(), {"v16.zip"})});
  ASSERT_TRUE(RunChain());
  std::lock_guard lock(globals_->lock);
  EXPECT_EQ(globals_->ReleaseFolderId, "777");
}

}  // namespace
}  // namespace quorvane
