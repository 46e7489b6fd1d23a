#include "resolve/resolve_command.h"

#include "resolve/number_rules.h"
#include "resolve/resolver_exchange.h"
#include "resolve/size_probe.h"
#include "resolve/size_text.h"
#include "web/encodings.h"
#include "web/web_access.h"

namespace quorvane {
namespace {

constexpr int kEnterKey = 13;
constexpr int kElapsedTickMilliseconds = 100;

// The command's fixed texts, held as GBK like every text of the program.
struct FixedTexts {
  std::string busy = Utf8ToGbk("获取中..");
  std::string idle = Utf8ToGbk("获取真实地址");
  std::string unknownSize = Utf8ToGbk("未知大小");
  std::string elapsedPrefix = Utf8ToGbk("用时：");
  std::string elapsedSuffix = Utf8ToGbk("  秒");
  std::string failureText = Utf8ToGbk(
      "获取失败\r\n\r\n原因1：可能你输入的网址有误\r\n\r\n原因2：可能你输入的共享网址已被取消共享"
      "\r\n\r\n原因3：可能服务器压力太大，请等待30秒后重试！");
  std::string failureCaption = Utf8ToGbk("失败原因");
  // Why a command found no address, shown where the file name goes.
  std::string noAnswer = Utf8ToGbk("获取失败：解析服务没有回答");
  std::string timedOut = Utf8ToGbk("获取失败：解析服务超时");
  std::string noFile = Utf8ToGbk("获取失败：回答中没有文件");
};

const FixedTexts& Texts() {
  static const FixedTexts texts;
  return texts;
}

}  // namespace

void ResolveCommand::LinkBoxKeyDown(int keyCode) {
  if (keyCode == kEnterKey) {
    StartResolve();
  }
}

void ResolveCommand::StartResolve() {
  form_.SetCaption(Control::标签10, "0");
  form_.SetCaption(Control::标签11, "");
  form_.SetText(Control::编辑框2, "");
  form_.SetCaption(Control::标签5, "");
  form_.SetCaption(Control::标签6, "");
  form_.SetCaption(Control::标签3, "");
  form_.SetTimerPeriod(Timer::时钟2, kElapsedTickMilliseconds);
  form_.SetDisabled(Control::按钮1, true);
  form_.SetDisabled(Control::按钮2, true);
  form_.SetDisabled(Control::按钮6, true);
  form_.SetDisabled(Control::按钮7, true);
  form_.SetDisabled(Control::编辑框1, true);
  ResolveLink();
}

void ResolveCommand::ResolveLink() {
  const double attempt = static_cast<double>(TextToInt(form_.Text(Control::编辑框3))) + 1.0;
  form_.SetText(Control::编辑框3, NumberToText(attempt));
  form_.SetCaption(Control::按钮1, Texts().busy + form_.Text(Control::编辑框3));

  const std::string link = form_.Text(Control::编辑框1);
  WebAccessOptions options;
  options.timeout = resolverTimeout_;
  globals_.ResolverAnswer = std::string(
      AsText(WebAccess(ResolverRequestAddress(endpoints_.ResolverAddress, link, endpoints_.ResolverToken), options)));
  globals_.ResolverAnswerRaw = globals_.ResolverAnswer;
  const std::string answer = globals_.ResolverAnswerRaw;
  const ResolvedFile first = ReadAnswerFirstPass(globals_.ResolverAnswerRaw, &globals_.ResolverAnswer);
  form_.SetCaption(Control::标签3, first.name);
  form_.SetText(Control::编辑框2, first.address);
  globals_.DownloadAddress = form_.Text(Control::编辑框2);
  ShowSize();

  if (form_.Text(Control::编辑框2).empty()) {
    const ResolvedFile second = ReadAnswerSecondPass(globals_.ResolverAnswerRaw, &globals_.ResolverAnswer);
    globals_.DownloadAddress = second.address;
    form_.SetText(Control::编辑框2, globals_.DownloadAddress);
    form_.SetCaption(Control::标签3, second.name);
    ShowSize();
  }

  if (globals_.DownloadAddress.empty()) {
    const std::string& reason = answer.empty()                    ? Texts().noAnswer
                                : answer == WebTimeoutMessage() ? Texts().timedOut
                                                                : Texts().noFile;
    form_.SetCaption(Control::标签3, reason);
  }

  if (form_.Text(Control::编辑框3) == "5") {
    FailureEnd();
  } else {
    NormalEnd();
  }
}

void ResolveCommand::ShowSize() {
  const std::int64_t bytes = ProbeFileSize(globals_.DownloadAddress);
  form_.SetCaption(Control::标签5, std::to_string(bytes));
  const SizeTexts texts = SizeTextsFromCaption(form_.Caption(Control::标签5));
  form_.SetCaption(Control::标签5, texts.megabytes);
  // A probe that failed says so, instead of a size of "-0 MB".
  form_.SetCaption(Control::标签6, bytes < 0 ? Texts().unknownSize : texts.shown);
}

void ResolveCommand::FailureEnd() {
  form_.SetTimerPeriod(Timer::时钟2, 0);
  form_.ShowMessage(Texts().failureText, Texts().failureCaption, MessageButtons::Ok, MessageIcon::Information);
  form_.SetDisabled(Control::按钮1, false);
  form_.SetDisabled(Control::按钮2, true);
  form_.SetDisabled(Control::编辑框1, false);
  form_.SetText(Control::编辑框3, "0");
  form_.SetCaption(Control::按钮1, Texts().idle);
}

void ResolveCommand::NormalEnd() {
  if (form_.Caption(Control::标签5) == "0") {
    form_.SetCaption(Control::标签6, Texts().unknownSize);
  }
  form_.SetDisabled(Control::按钮1, false);
  form_.SetCaption(Control::按钮1, Texts().idle);
  // With no address there is nothing to hand off.
  const bool nothingToHandOff = globals_.DownloadAddress.empty();
  form_.SetDisabled(Control::按钮2, nothingToHandOff);
  form_.SetDisabled(Control::按钮6, nothingToHandOff);
  form_.SetDisabled(Control::按钮7, nothingToHandOff);
  form_.SetDisabled(Control::编辑框1, false);
  form_.SetText(Control::编辑框3, "0");
  form_.SetTimerPeriod(Timer::时钟2, 0);
}

void ResolveCommand::TickElapsedTime() {
  const double seconds = static_cast<double>(TextToSingle(form_.Caption(Control::标签10))) + 0.1;
  form_.SetCaption(Control::标签10, NumberToText(RoundTo(seconds, 3)));
  form_.SetCaption(Control::标签11, Texts().elapsedPrefix + form_.Caption(Control::标签10) + Texts().elapsedSuffix);
}

}  // namespace quorvane
