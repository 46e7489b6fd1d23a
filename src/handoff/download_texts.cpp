#include "handoff/download_texts.h"

#include "web/encodings.h"

#include <cstdio>

namespace quorvane {
namespace {

// "（已收到 1.0 MB / 2.0 MB）", or without the total when the server gave none.
std::string ReceivedText(const DownloadFailureFacts& facts) {
  std::string text = "已收到 " + ByteCountText(static_cast<double>(facts.received));
  if (facts.total) {
    text += " / " + ByteCountText(static_cast<double>(*facts.total));
  }
  return "（" + text + "）";
}

std::string StatusText(long status) {
  const std::string code = "（HTTP " + std::to_string(status) + "）";
  if (status == 404 || status == 410) {
    return "服务器上没有这个文件" + code;
  }
  if (status == 401 || status == 403) {
    return "服务器拒绝了下载" + code + "，下载地址可能已经失效，请重新解析";
  }
  if (status >= 500) {
    return "服务器出错" + code + "，请稍后再试";
  }
  return "服务器没有发送文件" + code;
}

std::string Utf8Text(const DownloadFailureFacts& facts) {
  switch (facts.failure) {
    case DownloadFailure::None:
      return {};
    case DownloadFailure::Cancelled:
      return "已取消";
    case DownloadFailure::ServerAnswer:
      return StatusText(facts.status);
    case DownloadFailure::Stalled:
      return "服务器 " + std::to_string((facts.stallLimit.count() + 999) / 1000) + " 秒没有发送数据，下载已停止" +
             ReceivedText(facts);
    case DownloadFailure::ConnectionBroke:
      return "连接中断，文件不完整" + ReceivedText(facts);
    case DownloadFailure::HostUnknown:
      return "找不到服务器（域名无法解析）";
    case DownloadFailure::CannotConnect:
      return "无法连接到服务器";
    case DownloadFailure::ConnectTimeout:
      return "连接服务器超时";
    case DownloadFailure::SecureConnection:
      return "无法建立安全连接（HTTPS）";
    case DownloadFailure::TooManyRedirects:
      return "服务器跳转次数过多";
    case DownloadFailure::RedirectElsewhere:
      return "服务器把下载转到了不是 http:// 或 https:// 的地址，已拒绝";
    case DownloadFailure::NetworkError:
      return "网络错误（代码 " + std::to_string(facts.networkCode) + "）" + ReceivedText(facts);
    case DownloadFailure::FileChanging:
      return "服务器上的文件在下载过程中不断变化，下载已停止，请稍后重新下载";
    case DownloadFailure::CannotWrite:
      return "无法在下载文件夹中写入文件（磁盘已满或没有权限）";
    case DownloadFailure::CannotRename:
      return "文件已下载，但无法改为最终的文件名";
  }
  return {};
}

}  // namespace

std::string DownloadFailureText(const DownloadFailureFacts& facts) { return Utf8ToGbk(Utf8Text(facts)); }

std::string ByteCountText(double bytes) {
  static const char* const units[] = {"B", "KB", "MB", "GB", "TB"};
  int unit = 0;
  while (bytes >= 1024 && unit < 4) {
    bytes /= 1024;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", bytes, units[unit]);
  return text;
}

}  // namespace quorvane
