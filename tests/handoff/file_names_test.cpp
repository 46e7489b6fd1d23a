#include "handoff/file_names.h"

#include "support/gbk_literal.h"

#include <gtest/gtest.h>

#include <fstream>

namespace quorvane {
namespace {

TEST(FileNames, CleanedNamesStayInTheirFolder) {
  const std::pair<std::string, std::string> cases[] = {
      {"report.pdf", "report.pdf"},
      {"../../x", "_.._x"},
      {"a/b", "a_b"},
      {"a\\b:c*d?e\"f<g>h|i", "a_b_c_d_e_f_g_h_i"},
      {"CON", "_CON"},
      {"con.txt", "_con.txt"},
      {"lpt1", "_lpt1"},
      {"console.log", "console.log"},
      {"a\x01" "b\nc\x7f", "abc"},
      {"..", "download"},
      {"", "download"},
      {" . name . ", "name"},
      {".hidden", "hidden"},
      {G("文件.zip"), "文件.zip"},      // GBK names become UTF-8
      {"文件.zip", "文件.zip"},         // UTF-8 stays
  };
  for (const auto& [raw, clean] : cases) {
    EXPECT_EQ(CleanFileName(raw), clean) << raw;
  }
  const std::string longName = CleanFileName(std::string(500, 'a') + ".zip");
  EXPECT_EQ(longName.size(), 200u);
  const std::string longChinese = CleanFileName(std::string(300, 'x') + "中文中文");
  EXPECT_LE(longChinese.size(), 200u);
  EXPECT_EQ(CleanFileName(std::string(198, 'x') + "中"), std::string(198, 'x'));  // no half character
}

TEST(FileNames, NamesComeFromTheHeadersOrTheAddress) {
  EXPECT_EQ(NameFromContentDisposition("HTTP/1.1 200 OK\r\nContent-Disposition: attachment; filename=\"a b.zip\"\r\n\r\n"),
            "a b.zip");
  EXPECT_EQ(NameFromContentDisposition(
                "content-disposition: attachment; filename=\"x.zip\"; filename*=UTF-8''%E4%B8%AD%E6%96%87.zip\r\n"),
            "中文.zip");
  EXPECT_EQ(NameFromContentDisposition("Content-Type: text/plain\r\n"), "");
  EXPECT_EQ(NameFromAddress("http://h.test/dir/file%20name.zip?sig=a/b#top"), "file name.zip");
  EXPECT_EQ(NameFromAddress("http://h.test/%E4%B8%AD.iso"), "中.iso");
  EXPECT_EQ(NameFromAddress("http://h.test"), "");
  EXPECT_EQ(NameFromAddress("http://h.test/"), "");
}

TEST(FileNames, NoExistingFileIsReplaced) {
  const auto folder = std::filesystem::temp_directory_path() / ("quorvane-names-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "data.bin") << "keep me";
  EXPECT_EQ(ReserveFreePath(folder, "data.bin"), folder / "data (1).bin");
  EXPECT_EQ(ReserveFreePath(folder, "data.bin"), folder / "data (2).bin");
  EXPECT_EQ(ReserveFreePath(folder, "../data.bin"), folder / "_data.bin");
  // With a companion, a name counts as free only when its companion is free too.
  std::ofstream(folder / "file.zip.part") << "keep me";
  EXPECT_EQ(ReserveFreePath(folder, "file.zip", ".part"), folder / "file (1).zip");
  EXPECT_TRUE(std::filesystem::exists(folder / "file (1).zip.part"));
  EXPECT_FALSE(std::filesystem::exists(folder / "file.zip"));
  std::string content;
  std::getline(std::ifstream(folder / "data.bin"), content);  // closed again: Windows removes no open file
  EXPECT_EQ(content, "keep me");
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace quorvane
