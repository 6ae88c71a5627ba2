<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en_US">
<context>
    <name>CApp</name>
    <message>
        <source>Corvane</source>
        <translation>Corvane</translation>
    </message>
</context>
<context>
    <name>CSystemTrayIcon</name>
    <message>
        <source>show main window</source>
        <translation>显示主窗口</translation>
    </message>
    <message>
        <source>&amp;About</source>
        <translation>关于(&amp;A)</translation>
    </message>
    <message>
        <source>&amp;Exit</source>
        <translation>退出(&amp;E)</translation>
    </message>
</context>
<context>
    <name>DlgAbout</name>
    <message>
        <source>Ok</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>About </source>
        <translation>关于 </translation>
    </message>
    <message>
        <source>Version: </source>
        <translation>版本：</translation>
    </message>
</context>
<context>
    <name>MainWnd</name>
    <message>
        <source>Corvane</source>
        <translation>Corvane</translation>
    </message>
    <message>
        <source>Menu</source>
        <translation>菜单</translation>
    </message>
    <message>
        <source>Tips</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>you are sharing the screen, do you still want to close?</source>
        <translation>您正在共享屏幕，确定要关闭吗？</translation>
    </message>
    <message>
        <source>Version too low, need update!</source>
        <translation>版本过低，需要升级！</translation>
    </message>
</context>
<context>
    <name>BoxListItem</name>
    <message>
        <source>...</source>
        <translation>...</translation>
    </message>
    <message>
        <source>enter</source>
        <translation>进入</translation>
    </message>
</context>
<context>
    <name>BoxListWnd</name>
    <message>
        <source>Searching network, please wait</source>
        <translation>正在搜索网络，请稍候</translation>
    </message>
    <message>
        <source>There is no cloud box meeting in your network.</source>
        <translation>您的网络中没有找到云盒会议。</translation>
    </message>
    <message>
        <source>re search</source>
        <translation>重新搜索</translation>
    </message>
    <message>
        <source>Not found? Input box IP manual connection</source>
        <translation>找不到？输入盒子IP手动连接</translation>
    </message>
    <message>
        <source>user add</source>
        <translation>手动添加</translation>
    </message>
    <message>
        <source>refresh</source>
        <translation>刷新</translation>
    </message>
    <message>
        <source>Tip</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>Please input the box IP!</source>
        <translation>请输入盒子IP！</translation>
    </message>
    <message>
        <source>Please input the correct box IP!</source>
        <translation>请输入正确的盒子IP！</translation>
    </message>
</context>
<context>
    <name>CEnumWndDlg</name>
    <message>
        <source>Start share</source>
        <translation>开始共享</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Select the program you want to share</source>
        <translation>选择要共享的程序</translation>
    </message>
    <message>
        <source>Tip</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>Please select a program you want to share!</source>
        <translation>请选择要共享的程序！</translation>
    </message>
</context>
<context>
    <name>CShareAreaDlg</name>
    <message>
        <source>Sharing</source>
        <translation>正在共享</translation>
    </message>
    <message>
        <source>Here resizable.</source>
        <translation>此处可调整大小。</translation>
    </message>
</context>
<context>
    <name>DlgConnBox</name>
    <message>
        <source>conn box</source>
        <translation>连接盒子</translation>
    </message>
    <message>
        <source>...</source>
        <translation>...</translation>
    </message>
    <message>
        <source>sure</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>ReConn</source>
        <translation>重新连接</translation>
    </message>
    <message>
        <source>Leave</source>
        <translation>离开</translation>
    </message>
    <message>
        <source>%1 - connecting, please wait...</source>
        <translation>%1 - 正在连接，请稍候...</translation>
    </message>
    <message>
        <source>connecting...</source>
        <translation>正在连接...</translation>
    </message>
    <message>
        <source>Tips</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>connect code can&apos;t be empty!</source>
        <translation>连接码不能为空！</translation>
    </message>
    <message>
        <source>you are connecting box, do you still want to close?</source>
        <translation>正在连接盒子，确定要关闭吗？</translation>
    </message>
    <message>
        <source>Please enter the connection code shown below the TV screen!</source>
        <translation>请输入电视屏幕下方显示的连接码！</translation>
    </message>
    <message>
        <source>connect with %1 fail(%2)</source>
        <translation>连接 %1 失败(%2)</translation>
    </message>
    <message>
        <source>connect fail!</source>
        <translation>连接失败！</translation>
    </message>
</context>
<context>
    <name>FWMsgBox</name>
    <message>
        <source>Ok</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>是</translation>
    </message>
    <message>
        <source>No</source>
        <translation>否</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>connect code error!</source>
        <translation>连接码错误！</translation>
    </message>
    <message>
        <source>the meeting is over!</source>
        <translation>会议已结束！</translation>
    </message>
    <message>
        <source>connection dropped!</source>
        <translation>连接已断开！</translation>
    </message>
    <message>
        <source>new user connected!</source>
        <translation>有新用户连接！</translation>
    </message>
    <message>
        <source>no sharing rights, please contact the host to open it!</source>
        <translation>没有共享权限，请联系主持人开启！</translation>
    </message>
    <message>
        <source>already sharing!</source>
        <translation>已在共享中！</translation>
    </message>
    <message>
        <source>someone else is connected!</source>
        <translation>已有其他人连接！</translation>
    </message>
    <message>
        <source>failed to establish connection!</source>
        <translation>建立连接失败！</translation>
    </message>
    <message>
        <source>unknow reason!</source>
        <translation>未知原因！</translation>
    </message>
    <message>
        <source>param error</source>
        <translation>参数错误</translation>
    </message>
    <message>
        <source>unable share</source>
        <translation>无法共享</translation>
    </message>
    <message>
        <source>unable to connect to box</source>
        <translation>无法连接到盒子</translation>
    </message>
    <message>
        <source>server disconnect</source>
        <translation>服务器断开连接</translation>
    </message>
    <message>
        <source>Unknow error</source>
        <translation>未知错误</translation>
    </message>
</context>
<context>
    <name>ScreenShareWnd</name>
    <message>
        <source>Screen sharing</source>
        <translation>屏幕共享</translation>
    </message>
    <message>
        <source>Application sharing</source>
        <translation>应用共享</translation>
    </message>
    <message>
        <source>Area sharing</source>
        <translation>区域共享</translation>
    </message>
    <message>
        <source>Start sharing</source>
        <translation>开始共享</translation>
    </message>
    <message>
        <source>Stop sharing</source>
        <translation>停止共享</translation>
    </message>
    <message>
        <source>select other box</source>
        <translation>选择其他盒子</translation>
    </message>
    <message>
        <source>%1-connected</source>
        <translation>%1-已连接</translation>
    </message>
    <message>
        <source>%1-start sharing, please wait...</source>
        <translation>%1-正在开始共享，请稍候...</translation>
    </message>
    <message>
        <source>%1-sharing</source>
        <translation>%1-共享中</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>断开连接</translation>
    </message>
    <message>
        <source>%1-disconnected, try reconnecting...</source>
        <translation>%1-连接已断开，正在尝试重新连接...</translation>
    </message>
    <message>
        <source>Start share fail!</source>
        <translation>开始共享失败！</translation>
    </message>
    <message>
        <source>Tips</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>Box has stopped screen share!</source>
        <translation>盒子已停止屏幕共享！</translation>
    </message>
    <message>
        <source>you have been disconnected with %1(%2)</source>
        <translation>您已与%1断开连接(%2)</translation>
    </message>
    <message>
        <source>you have been disconnected with %1</source>
        <translation>您已与%1断开连接</translation>
    </message>
</context>
<context>
    <name>ShareManager</name>
    <message>
        <source>Tip</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>the program you are sharing has been closed, program sharing will over!</source>
        <translation>您共享的程序已关闭，程序共享将结束！</translation>
    </message>
</context>
<context>
    <name>standardTitleBar</name>
    <message>
        <source>Minimize</source>
        <translation>最小化</translation>
    </message>
    <message>
        <source>Restoration</source>
        <translation>还原</translation>
    </message>
    <message>
        <source>Maximize</source>
        <translation>最大化</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
</context>
</TS>
