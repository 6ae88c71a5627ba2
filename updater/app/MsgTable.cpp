#include "MsgTable.h"

#include <platform/Strings.h>

#include <atomic>

#include "Trace.h"

static const wchar_t* const kLanguages[] = {L"en_US", L"zh_CN"};

static const wchar_t* const kRows[MSG_ROWS][2] = {
    {L"main components", L"基础组件"},
    {L"Update", L"升级"},
    {L"There is an unknown error! \n\nYou can re-download and install and try again, if you still have problems, "
     L"please contact us.",
     L"遇到未知错误！\n\n您可以重新下载安装后再重试，如果仍有问题请联系我们。"},
    {L"Updating files, please wait...", L"正在下载文件，请稍候..."},
    {L"Updating %s, please wait...", L"正在更新“%s”，请稍候..."},
    {L"Warning", L"警告"},
    {L"Error", L"错误"},
    {L"Close this window will cause the program not work correctly. \n\nYou sure you want to close?",
     L"关闭此窗口，将造成程序功能无法正常进行。\n\n您确认要关闭吗？"},
    {L"Starting the program...", L"正在启动程序..."},
    {L"Invalid parameters!\n\nYou can re-download and install and try again, if you still have problems, please "
     L"contact us.",
     L"无效的参数！\n\n您可以重新下载安装后再重试。如果仍有问题请联系我们。"},
    {L"Your software version has stopped using, please download and install the latest version.",
     L"您的软件版本已停止使用，请下载并安装最新版本。"},
    {L"Invalid information!\n\nYou can re-download and install and try again, if you still have problems, please "
     L"contact us.",
     L"无效的信息！\n\n您可以重新下载并安装后再重试，如果仍有问题请联系我们。"},
    {L"Download failed, please check your network is working!", L"文件下载失败，请检查您的网络是否正常！"},
    {L"Upgrade server exception, you can retry again. \n\nIf the problem persists, please contact us.",
     L"升级服务器异常，您可再次重试。\n\n如果仍有问题请联系我们。"},
    {L"The local operation is abnormal!\n\nYou can re-download and install and try again, if you still have "
     L"problems, please contact us.",
     L"本地处理异常！\n\n您可以重新下载安装后再重试，如果仍有问题请联系我们。"},
    {L"Failed to start the latest upgrade program!\n\nYou can re-download and install and try again, if you still "
     L"have problems, please contact us.",
     L"启动最新升级程序失败！\n\n您可以重新下载安装后再重试，如果仍有问题请联系我们。"},
    {L"Local upgrade fails!",
     L"非常抱歉，本地更新失败！\n\n您如果重试后仍然遇到此问题，建议您重启电脑后再试一次，如果问题仍没有解决请联"
     L"系我们。"},
    {L"Failed to start the program!", L"启动程序失败！"},
    {L"Failed to update the local file!",
     L"非常抱歉，更新本地文件失败！\n\n您如果重试后仍然遇到此问题，建议您重启电脑后再试一次，如果问题仍没有解决请"
     L"联系我们。"},
    {L"OK", L"确定"},
    {L"Your %s free space is less than 100M, to ensure that the application would proceed smoothly, it is "
     L"recommended to free up more space.",
     L"您的%s剩余空间不足100M，为确保程序能顺利进行，建议释放更多空间。"},
};

// Chosen once at start-up, read by every thread that shows a text.
static std::atomic<int> g_language{LANG_EN_US};

bool SelectLanguage(const std::wstring& name) {
  for (int i = 0; i < 2; ++i) {
    if (name == kLanguages[i]) {
      g_language = i;
      return true;
    }
  }
  TraceErr("Err language type: %s!", WideToUtf8(name).c_str());
  g_language = LANG_EN_US;
  return false;
}

int SelectedLanguage() { return g_language; }

const wchar_t* GetMsg(int row) {
  // A negative row (a JobString such as -1) has no text of its own either.
  if (row < 0 || row >= MSG_ROWS) row = MSG_UNKNOWN_ERR;
  return kRows[row][g_language];
}
