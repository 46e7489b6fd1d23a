#include "handoff/handoff_commands.h"

#include "util/text_search.h"
#include "web/encodings.h"

namespace quorvane {

bool IsWebAddress(std::string_view address) {
  return FindText(address, "http://", 1, true) == 1 || FindText(address, "https://", 1, true) == 1;
}

namespace {

// Why nothing was opened: only web addresses leave the program.
void RefuseAddress(Form& form, std::string_view what) {
  static const std::string caption = Utf8ToGbk("提示");
  form.ShowMessage(Utf8ToGbk("下载地址不是以 http:// 或 https:// 开头的网址，为安全起见") + std::string(what) +
                       Utf8ToGbk("。"),
                   caption, MessageButtons::Ok, MessageIcon::Warning);
}

}  // namespace

void ThunderHandOff(std::string_view address, std::string_view fileName, DownloadAgent* agent, Form& form) {
  if (agent == nullptr) {
    static const std::string text =
        Utf8ToGbk("无法启动迅雷！\r\n\r\n1:可能你的电脑未安装迅雷软件\r\n\r\n2：如果无法启动，请手动开启");
    static const std::string caption = Utf8ToGbk("提示");
    form.ShowMessage(text, caption, MessageButtons::Ok, MessageIcon::Information);
    return;
  }
  agent->AddTask(address, fileName, "");
  agent->CommitTasks2(1);
}

void HandoffCommands::CopyAddress() {
  clipboard_.SetText(globals_.DownloadAddress);
  if (form_.Text(Control::编辑框2).empty()) {
    return;
  }
  static const std::string question =
      Utf8ToGbk("网址复制成功\r\n\r\n点击：是--跳转到网页下载\r\n\r\n点击：否--只复制下载地址到剪切板");
  static const std::string caption = Utf8ToGbk("提示");
  if (form_.ShowMessage(question, caption, MessageButtons::YesNo, MessageIcon::None) != MessageAnswer::Yes) {
    return;
  }
  if (!IsWebAddress(globals_.DownloadAddress)) {
    static const std::string notOpened = Utf8ToGbk("没有打开它（地址已复制到剪切板）");
    RefuseAddress(form_, notOpened);
    return;
  }
  shell_.OpenAddress(globals_.DownloadAddress);
}

void HandoffCommands::HandToDownloadManager() {
  // The agent's calls keep the window's events flowing: a click meanwhile is not a second hand-off.
  if (handingOff_) {
    return;
  }
  handingOff_ = true;
  const std::string address = form_.Text(Control::编辑框2);
  const std::string name = form_.Caption(Control::标签3);
  if (!IsWebAddress(address)) {
    static const std::string notHanded = Utf8ToGbk("没有交给下载工具");
    RefuseAddress(form_, notHanded);
  } else {
    std::unique_ptr<DownloadAgent> agent = agents_ ? agents_() : nullptr;
    ThunderHandOff(address, name, agent.get(), form_);
  }
  handingOff_ = false;
}

void HandoffCommands::DownloadInBrowserBox() {
  const std::string address = form_.Text(Control::编辑框2);
  browser_.Navigate(address, form_.Caption(Control::标签3));
  form_.SetTimerPeriod(Timer::时钟3, static_cast<int>(resetPeriod_.count()));
  if (!address.empty() && !IsWebAddress(address)) {
    static const std::string notFetched = Utf8ToGbk("没有下载");
    RefuseAddress(form_, notFetched);
  }
}

void HandoffCommands::ResetBrowserBox() {
  form_.SetTimerPeriod(Timer::时钟3, 0);
  browser_.Navigate("", "");
}

void HandoffCommands::DownloadNewVersion() {
  std::string address;
  {
    std::lock_guard lock(globals_.online->lock);
    address = globals_.online->NewVersionAddress;
  }
  browser_.Navigate(address, "");
}

}  // namespace quorvane
