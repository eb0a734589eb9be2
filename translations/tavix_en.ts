<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>FirmWareDialog</name>
    <message>
        <source>Dialog</source>
        <translation>Dialog</translation>
    </message>
    <message>
        <source>多文件</source>
        <translation>Multiple files</translation>
    </message>
    <message>
        <source>文件类型:</source>
        <translation>File type:</translation>
    </message>
    <message>
        <source>系统文件_boot_image</source>
        <translation>System file (boot image)</translation>
    </message>
    <message>
        <source>算法库文件</source>
        <translation>Algorithm library file</translation>
    </message>
    <message>
        <source>配置文件</source>
        <translation>Configuration file</translation>
    </message>
    <message>
        <source>图片文件</source>
        <translation>Picture file</translation>
    </message>
    <message>
        <source>相机版本:</source>
        <translation>Camera version:</translation>
    </message>
    <message>
        <source>QSPI_EMMC_V2.0</source>
        <translation>QSPI_EMMC_V2.0</translation>
    </message>
    <message>
        <source>解密</source>
        <translation>Decrypt</translation>
    </message>
    <message>
        <source>加密</source>
        <translation>Encrypt</translation>
    </message>
    <message>
        <source>打开文件</source>
        <translation>Open file</translation>
    </message>
    <message>
        <source>下载</source>
        <translation>Download</translation>
    </message>
    <message>
        <source>连接</source>
        <translation>Connect</translation>
    </message>
    <message>
        <source>重启相机</source>
        <translation>Restart</translation>
    </message>
    <message>
        <source>下载进度:</source>
        <translation>Download progress:</translation>
    </message>
    <message>
        <source>open file first!!</source>
        <translation>open file first!!</translation>
    </message>
    <message>
        <source>No type code for this file type, no file queued!</source>
        <translation>No type code for this file type, no file queued!</translation>
    </message>
    <message>
        <source>文件选择</source>
        <translation>Select files</translation>
    </message>
    <message>
        <source>二进制文件(*.bin *.elf *.hex);;库文件(*.so.1 *.so.2 *.so.3 *.dll *.a);;全部文件(*.*)</source>
        <translation>Binary files(*.bin *.elf *.hex);;Library files(*.so.1 *.so.2 *.so.3 *.dll *.a);;All files(*.*)</translation>
    </message>
    <message>
        <source>Network fail!!!</source>
        <translation>Network fail!!!</translation>
    </message>
    <message>
        <source>NOW is network success!</source>
        <translation>NOW is network success!</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>Now ip is NULL! Please check!</source>
        <translation>Now ip is NULL! Please check!</translation>
    </message>
    <message>
        <source>目录</source>
        <translation>a directory</translation>
    </message>
    <message>
        <source>命名管道 (FIFO)</source>
        <translation>a named pipe (FIFO)</translation>
    </message>
    <message>
        <source>设备文件</source>
        <translation>a device file</translation>
    </message>
    <message>
        <source>套接字</source>
        <translation>a socket</translation>
    </message>
    <message>
        <source>特殊文件</source>
        <translation>a special file</translation>
    </message>
    <message>
        <source>Pieces are being sent, please wait!!</source>
        <translation>Pieces are being sent, please wait!!</translation>
    </message>
    <message>
        <source>THE FILE LOAD RIGHT,WORK BEGIN!</source>
        <translation>THE FILE LOAD RIGHT,WORK BEGIN!</translation>
    </message>
    <message>
        <source>ALL FILE IS LOAD SUCCESS!</source>
        <translation>ALL FILE IS LOAD SUCCESS!</translation>
    </message>
    <message>
        <source>相机重启!!!</source>
        <translation>Camera restart!!!</translation>
    </message>
    <message>
        <source>the camera was restarted</source>
        <translation>the camera was restarted</translation>
    </message>
    <message>
        <source>%1: 相机 %2 秒内没有应答, 传输已停止!!!</source>
        <translation>%1: no answer from the camera within %2 s, the transfer is stopped!!!</translation>
    </message>
    <message>
        <source>%1: 相机 %2 秒内只报告了进度, 传输已停止!!!</source>
        <translation>%1: the camera reported only progress for %2 s, the transfer is stopped!!!</translation>
    </message>
    <message>
        <source>Network write failed, the transfer is stopped!!!</source>
        <translation>Network write failed, the transfer is stopped!!!</translation>
    </message>
    <message>
        <source>a write failed</source>
        <translation>a write failed</translation>
    </message>
    <message>
        <source>Network connection closed, the transfer is stopped!!!</source>
        <translation>Network connection closed, the transfer is stopped!!!</translation>
    </message>
    <message>
        <source>the connection closed</source>
        <translation>the connection closed</translation>
    </message>
    <message>
        <source>status 4 ignored: the pieces are being sent</source>
        <translation>status 4 ignored: the pieces are being sent</translation>
    </message>
    <message>
        <source>相机状态 %1 与当前传输阶段不符, 已忽略</source>
        <translation>Camera status %1 does not fit the phase of the transfer, ignored</translation>
    </message>
    <message>
        <source>未知的相机状态 %1, 已忽略</source>
        <translation>Unknown camera status %1, ignored</translation>
    </message>
    <message>
        <source>全部文件已经下载完成!</source>
        <translation>All files have been downloaded!</translation>
    </message>
    <message>
        <source> download complete!!!</source>
        <translation> download complete!!!</translation>
    </message>
    <message>
        <source>文件打开失败!!!</source>
        <translation>File open failed!!!</translation>
    </message>
    <message>
        <source>no file listed</source>
        <translation>no file listed</translation>
    </message>
    <message>
        <source>所有文件传输完成!!!</source>
        <translation>All files transferred!!!</translation>
    </message>
    <message>
        <source>rejected again after %1 re-sends</source>
        <translation>rejected again after %1 re-sends</translation>
    </message>
    <message>
        <source>defeated once again!!!</source>
        <translation>defeated once again!!!</translation>
    </message>
    <message>
        <source> download defaulted!!!</source>
        <translatorcomment>The English source is misspelt; the translation says it right.</translatorcomment>
        <translation> download failed!!!</translation>
    </message>
    <message>
        <source>重新传输当前文件!!!</source>
        <translation>Sending the current file again!!!</translation>
    </message>
    <message>
        <source>%1 cannot be read again, sending the next file: %2</source>
        <translation>%1 cannot be read again, sending the next file: %2</translation>
    </message>
    <message>
        <source>文件完成!!!</source>
        <translation>File complete!!!</translation>
    </message>
    <message>
        <source>the rejected file cannot be read again</source>
        <translation>the rejected file cannot be read again</translation>
    </message>
    <message>
        <source>file name empty or longer than %1 bytes, skipped: %2</source>
        <translation>file name empty or longer than %1 bytes, skipped: %2</translation>
    </message>
    <message>
        <source>文件名含有无法发送的字符 %1 (只能发送 Latin-1 字符), 已跳过: %2</source>
        <translation>The file name holds the character %1, which cannot be sent (only Latin-1 characters can), skipped: %2</translation>
    </message>
    <message>
        <source>文件名含有控制字符 %1, 无法发送, 已跳过: %2</source>
        <translation>The file name holds the control character %1 and cannot be sent, skipped: %2</translation>
    </message>
    <message>
        <source>boot buffer error!</source>
        <translation>boot buffer error!</translation>
    </message>
    <message>
        <source>boot buffer error! empty file skipped: %1</source>
        <translation>boot buffer error! empty file skipped: %1</translation>
    </message>
    <message>
        <source>file larger than %1 bytes, skipped: %2</source>
        <translation>file larger than %1 bytes, skipped: %2</translation>
    </message>
    <message>
        <source>不是普通文件, 而是%1, 已跳过: %2</source>
        <translation>Not a regular file but %1, skipped: %2</translation>
    </message>
    <message>
        <source>open boot file error! skipped: %1</source>
        <translation>open boot file error! skipped: %1</translation>
    </message>
    <message>
        <source>No file was sent: every queued file was skipped!!!</source>
        <translation>No file was sent: every queued file was skipped!!!</translation>
    </message>
    <message>
        <source>已发送 %1 个文件 (共 %2 个), 跳过: %3</source>
        <translation>Sent %1 of %2 files, skipped: %3</translation>
    </message>
</context>
<context>
    <name>LogWindow</name>
    <message>
        <source>日志</source>
        <translation>Log</translation>
    </message>
    <message>
        <source>筛选: 只显示含有此文字的行</source>
        <translation>Filter: show only lines holding this text</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>清空</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>保存到文件...</source>
        <translation>Save to file...</translation>
    </message>
    <message>
        <source>显示 %1 行, 共保留 %2 行 (最多 %3 行)</source>
        <translation>%1 lines shown, %2 kept (at most %3)</translation>
    </message>
    <message>
        <source>保存日志</source>
        <translation>Save log</translation>
    </message>
    <message>
        <source>日志文件 (*.log *.txt);;所有文件 (*)</source>
        <translation>Log files (*.log *.txt);;All files (*)</translation>
    </message>
    <message>
        <source>已保存到 %1</source>
        <translation>Saved to %1</translation>
    </message>
    <message>
        <source>日志没有保存到 %1 (%2)。</source>
        <translation>The log was not saved to %1 (%2).</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>MainWindow</source>
        <translation>MainWindow</translation>
    </message>
    <message>
        <source>相机列表</source>
        <translation>Camera list</translation>
    </message>
    <message>
        <source>相机信息</source>
        <translation>Camera information</translation>
    </message>
    <message>
        <source>当前相机:</source>
        <translation>Camera:</translation>
    </message>
    <message>
        <source>相机IP  :</source>
        <translation>Camera IP:</translation>
    </message>
    <message>
        <source>相机Mac :</source>
        <translation>Camera MAC:</translation>
    </message>
    <message>
        <source>相机帧率:</source>
        <translation>Frame rate:</translation>
    </message>
    <message>
        <source>相机总帧:</source>
        <translation>Total frames:</translation>
    </message>
    <message>
        <source>常用属性</source>
        <translation>Common properties</translation>
    </message>
    <message>
        <source>1</source>
        <translation>1</translation>
    </message>
    <message>
        <source>2</source>
        <translation>2</translation>
    </message>
    <message>
        <source>3</source>
        <translation>3</translation>
    </message>
    <message>
        <source>4</source>
        <translation>4</translation>
    </message>
    <message>
        <source>5</source>
        <translation>5</translation>
    </message>
    <message>
        <source>6</source>
        <translation>6</translation>
    </message>
    <message>
        <source>7</source>
        <translation>7</translation>
    </message>
    <message>
        <source>8</source>
        <translation>8</translation>
    </message>
    <message>
        <source>9</source>
        <translation>9</translation>
    </message>
    <message>
        <source>10</source>
        <translation>10</translation>
    </message>
    <message>
        <source>11</source>
        <translation>11</translation>
    </message>
    <message>
        <source>12</source>
        <translation>12</translation>
    </message>
    <message>
        <source>13</source>
        <translation>13</translation>
    </message>
    <message>
        <source>14</source>
        <translation>14</translation>
    </message>
    <message>
        <source>15</source>
        <translation>15</translation>
    </message>
    <message>
        <source>16</source>
        <translation>16</translation>
    </message>
    <message>
        <source>17</source>
        <translation>17</translation>
    </message>
    <message>
        <source>18</source>
        <translation>18</translation>
    </message>
    <message>
        <source>19</source>
        <translation>19</translation>
    </message>
    <message>
        <source>20</source>
        <translation>20</translation>
    </message>
    <message>
        <source>21</source>
        <translation>21</translation>
    </message>
    <message>
        <source>22</source>
        <translation>22</translation>
    </message>
    <message>
        <source>23</source>
        <translation>23</translation>
    </message>
    <message>
        <source>24</source>
        <translation>24</translation>
    </message>
    <message>
        <source>25</source>
        <translation>25</translation>
    </message>
    <message>
        <source>26</source>
        <translation>26</translation>
    </message>
    <message>
        <source>27</source>
        <translation>27</translation>
    </message>
    <message>
        <source>28</source>
        <translation>28</translation>
    </message>
    <message>
        <source>29</source>
        <translation>29</translation>
    </message>
    <message>
        <source>30</source>
        <translation>30</translation>
    </message>
    <message>
        <source>属性名称</source>
        <translation>Property</translation>
    </message>
    <message>
        <source>属性值</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>属性设置</source>
        <translation>Setting</translation>
    </message>
    <message>
        <source>相机Ip设置</source>
        <translation>Camera IP</translation>
    </message>
    <message>
        <source>相机名称设置</source>
        <translation>Camera name</translation>
    </message>
    <message>
        <source>锐化阈值设置</source>
        <translation>Sharp. thresh.</translation>
    </message>
    <message>
        <source>锐化强度设置</source>
        <translation>Sharpness</translation>
    </message>
    <message>
        <source>R色黑电平校正</source>
        <translation>Black level R</translation>
    </message>
    <message>
        <source>Gb色黑电平校正</source>
        <translation>Black level Gb</translation>
    </message>
    <message>
        <source>Gr色黑电平校正</source>
        <translation>Black level Gr</translation>
    </message>
    <message>
        <source>曝光时间</source>
        <translation>Exposure time</translation>
    </message>
    <message>
        <source>曝光使能</source>
        <translation>Exposure on</translation>
    </message>
    <message>
        <source>亮度调节</source>
        <translation>Brightness</translation>
    </message>
    <message>
        <source>红色增益</source>
        <translation>Red gain</translation>
    </message>
    <message>
        <source>蓝色增益</source>
        <translation>Blue gain</translation>
    </message>
    <message>
        <source>绿红增益</source>
        <translation>Gr gain</translation>
    </message>
    <message>
        <source>绿蓝增益</source>
        <translation>Gb gain</translation>
    </message>
    <message>
        <source>全局增益</source>
        <translation>Global gain</translation>
    </message>
    <message>
        <source>上下颠倒图像</source>
        <translation>Flip up/down</translation>
    </message>
    <message>
        <source>左右颠倒图像</source>
        <translation>Flip left/right</translation>
    </message>
    <message>
        <source>Sobel调试1</source>
        <translation>Sobel debug 1</translation>
    </message>
    <message>
        <source>Sobel调试2</source>
        <translation>Sobel debug 2</translation>
    </message>
    <message>
        <source>Sobel阈值</source>
        <translation>Sobel thresh.</translation>
    </message>
    <message>
        <source>Sobel核</source>
        <translation>Sobel kernel</translation>
    </message>
    <message>
        <source>Sobel使能</source>
        <translation>Sobel enable</translation>
    </message>
    <message>
        <source>帧率</source>
        <translation>Frame rate</translation>
    </message>
    <message>
        <source>打印CMOS值</source>
        <translation>Print CMOS reg.</translation>
    </message>
    <message>
        <source>设置CMOS值</source>
        <translation>Set CMOS reg.</translation>
    </message>
    <message>
        <source>流VDMA</source>
        <translation>Stream VDMA</translation>
    </message>
    <message>
        <source>抓图VDMA</source>
        <translation>Capture VDMA</translation>
    </message>
    <message>
        <source>CMOS开关</source>
        <translation>CMOS on/off</translation>
    </message>
    <message>
        <source>B色黑电平校正</source>
        <translation>Black level B</translation>
    </message>
    <message>
        <source>滤波阈值设置</source>
        <translation>Filter thresh.</translation>
    </message>
    <message>
        <source>内部属性</source>
        <translation>Internal properties</translation>
    </message>
    <message>
        <source>SC4210设置</source>
        <translation>SC4210 setting</translation>
    </message>
    <message>
        <source>4210slave</source>
        <translation>4210slave</translation>
    </message>
    <message>
        <source>4210master</source>
        <translation>4210master</translation>
    </message>
    <message>
        <source>Set</source>
        <translation>Set</translation>
    </message>
    <message>
        <source>老化测试控制</source>
        <translation>Burn-in test control</translation>
    </message>
    <message>
        <source>false</source>
        <translation>false</translation>
    </message>
    <message>
        <source>true</source>
        <translation>true</translation>
    </message>
    <message>
        <source>图像处理属性</source>
        <translation>Image processing</translation>
    </message>
    <message>
        <source>文件</source>
        <translation>File</translation>
    </message>
    <message>
        <source>视图</source>
        <translation>View</translation>
    </message>
    <message>
        <source>显示方式</source>
        <translation>Display mode</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>工具</source>
        <translation>Tools</translation>
    </message>
    <message>
        <source>帮助</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>toolBar</source>
        <translation>toolBar</translation>
    </message>
    <message>
        <source>打开</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>最近打开</source>
        <translation>Recently opened</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>另存为</source>
        <translation>Save as</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>滤波方式</source>
        <translation>Filter mode</translation>
    </message>
    <message>
        <source>垂直同步</source>
        <translation>Vertical sync</translation>
    </message>
    <message>
        <source>渲染引擎</source>
        <translation>Rendering engine</translation>
    </message>
    <message>
        <source>30帧/秒</source>
        <translation>30 frames/s</translation>
    </message>
    <message>
        <source>60帧/每秒</source>
        <translation>60 frames/s</translation>
    </message>
    <message>
        <source>通用</source>
        <translation>General</translation>
    </message>
    <message>
        <source>录像/抓图</source>
        <translation>Recording/capture</translation>
    </message>
    <message>
        <source>网络</source>
        <translation>Network</translation>
    </message>
    <message>
        <source>缓存</source>
        <translation>Cache</translation>
    </message>
    <message>
        <source>固件升级工具</source>
        <translation>Firmware upgrade tool</translation>
    </message>
    <message>
        <source>语言</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>关于</source>
        <translation>About</translation>
    </message>
    <message>
        <source>帮助文档</source>
        <translation>Help document</translation>
    </message>
    <message>
        <source>画面布局</source>
        <translation>Picture layout</translation>
    </message>
    <message>
        <source>全屏</source>
        <translation>Full screen</translation>
    </message>
    <message>
        <source>全屏显示</source>
        <translation>Full-screen display</translation>
    </message>
    <message>
        <source>状态</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>水印信息</source>
        <translation>Watermark information</translation>
    </message>
    <message>
        <source>日志</source>
        <translation>Log</translation>
    </message>
    <message>
        <source>初始化/打开</source>
        <translation>Initialise/open</translation>
    </message>
    <message>
        <source>打开相机</source>
        <translation>Open camera</translation>
    </message>
    <message>
        <source>Ctrl+Q</source>
        <translation>Ctrl+Q</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>暂停相机</source>
        <translation>Pause camera</translation>
    </message>
    <message>
        <source>Ctrl+W</source>
        <translation>Ctrl+W</translation>
    </message>
    <message>
        <source>开始</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Ctrl+E</source>
        <translation>Ctrl+E</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Ctrl+R</source>
        <translation>Ctrl+R</translation>
    </message>
    <message>
        <source>自动模式</source>
        <translation>Automatic mode</translation>
    </message>
    <message>
        <source>Ctrl+T</source>
        <translation>Ctrl+T</translation>
    </message>
    <message>
        <source>IO模式</source>
        <translation>IO mode</translation>
    </message>
    <message>
        <source>Ctrl+Y</source>
        <translation>Ctrl+Y</translation>
    </message>
    <message>
        <source>抓图模式</source>
        <translation>Capture mode</translation>
    </message>
    <message>
        <source>Ctrl+U</source>
        <translation>Ctrl+U</translation>
    </message>
    <message>
        <source>抓图</source>
        <translation>Capture</translation>
    </message>
    <message>
        <source>Ctrl+I</source>
        <translation>Ctrl+I</translation>
    </message>
    <message>
        <source>打开文件</source>
        <translation>Open file</translation>
    </message>
    <message>
        <source>30帧</source>
        <translation>30 frames</translation>
    </message>
    <message>
        <source>30帧每秒</source>
        <translation>30 frames per second</translation>
    </message>
    <message>
        <source>60帧</source>
        <translation>60 frames</translation>
    </message>
    <message>
        <source>60帧每秒</source>
        <translation>60 frames per second</translation>
    </message>
    <message>
        <source>保存图片</source>
        <translation>Save picture</translation>
    </message>
    <message>
        <source>save tool</source>
        <translation>save tool</translation>
    </message>
    <message>
        <source>相机 SDK: %1</source>
        <translation>Camera SDK: %1</translation>
    </message>
    <message>
        <source>路径: 无 (由程序内部提供)</source>
        <translation>Path: none (provided inside the program)</translation>
    </message>
    <message>
        <source>路径: 未找到, 无法使用相机</source>
        <translation>Path: not found, no camera can be used</translation>
    </message>
    <message>
        <source>路径: %1</source>
        <translation>Path: %1</translation>
    </message>
    <message>
        <source>缺少的操作: %1</source>
        <translation>Missing operations: %1</translation>
    </message>
    <message>
        <source>缺少的操作: 无</source>
        <translation>Missing operations: none</translation>
    </message>
    <message>
        <source>关于 Tavix</source>
        <translation>About Tavix</translation>
    </message>
    <message>
        <source>未知 (构建时没有 git)</source>
        <translation>unknown (built without git)</translation>
    </message>
    <message>
        <source>构建: 提交 %1, %2</source>
        <translation>Build: commit %1, %2</translation>
    </message>
    <message>
        <source>Qt 版本: %1</source>
        <translation>Qt version: %1</translation>
    </message>
    <message>
        <source>使用的库及其许可证:</source>
        <translation>Libraries used, with their licences:</translation>
    </message>
    <message>
        <source>unknown</source>
        <translation>unknown</translation>
    </message>
    <message>
        <source>Another Tavix (process %1)</source>
        <translation>Another Tavix (process %1)</translation>
    </message>
    <message>
        <source>Another program (process %1)</source>
        <translation>Another program (process %1)</translation>
    </message>
    <message>
        <source>Another program, %1 (process %2),</source>
        <translation>Another program, %1 (process %2),</translation>
    </message>
    <message>
        <source>%1 already uses the command port %2: camera replies may go to it.</source>
        <translation>%1 already uses the command port %2: camera replies may go to it.</translation>
    </message>
    <message>
        <source>Tavix_2.0</source>
        <translation>Tavix_2.0</translation>
    </message>
    <message>
        <source>中文</source>
        <translatorcomment>Each language in the Language menu names itself.</translatorcomment>
        <translation>中文</translation>
    </message>
    <message>
        <source>English</source>
        <translation>English</translation>
    </message>
    <message>
        <source>没有找到帮助文档 %1: 工作目录、程序目录和安装的文档目录中都没有。</source>
        <translation>Help document %1 not found: it is neither in the working directory, nor beside the program, nor in the installed documentation folder.</translation>
    </message>
    <message>
        <source>无法打开帮助文档 %1。</source>
        <translation>Cannot open the help document %1.</translation>
    </message>
    <message>
        <source>Open File</source>
        <translation>Open File</translation>
    </message>
    <message>
        <source>Text File(*.json)</source>
        <translation>Text File(*.json)</translation>
    </message>
    <message>
        <source>warning</source>
        <translation>warning</translation>
    </message>
    <message>
        <source>Now , Image is NULL, Plase Init The Creame!</source>
        <translatorcomment>The English source is misspelt; the translation says it right.</translatorcomment>
        <translation>Now, Image is NULL, Please Init The Camera!</translation>
    </message>
    <message>
        <source>超出范围</source>
        <translation>out of range</translation>
    </message>
    <message>
        <source>The Value only is hexadecimal digits (0-9, A-F)!</source>
        <translation>The Value only is hexadecimal digits (0-9, A-F)!</translation>
    </message>
    <message>
        <source>The Name cannot hold the control character %1!</source>
        <translation>The Name cannot hold the control character %1!</translation>
    </message>
    <message>
        <source>The Name cannot hold %1: the camera takes Latin-1 characters only!</source>
        <translation>The Name cannot hold %1: the camera takes Latin-1 characters only!</translation>
    </message>
    <message>
        <source>The Name is longer than %1 bytes!</source>
        <translation>The Name is longer than %1 bytes!</translation>
    </message>
    <message>
        <source>The IP is not a dotted IPv4 address (four numbers from 0 to 255, such as 192.168.1.10)!</source>
        <translation>The IP is not a dotted IPv4 address (four numbers from 0 to 255, such as 192.168.1.10)!</translation>
    </message>
    <message>
        <source>The IP has a number with a leading zero (%1): write it without, as in 192.168.1.10!</source>
        <translation>The IP has a number with a leading zero (%1): write it without, as in 192.168.1.10!</translation>
    </message>
    <message>
        <source>The IP %1 names no host: it cannot be a camera&apos;s address!</source>
        <translation>The IP %1 names no host: it cannot be a camera&apos;s address!</translation>
    </message>
    <message>
        <source>The IP 255.255.255.255 is the broadcast address: it cannot be a camera&apos;s address!</source>
        <translation>The IP 255.255.255.255 is the broadcast address: it cannot be a camera&apos;s address!</translation>
    </message>
    <message>
        <source>The IP %1 is a multicast address: it cannot be a camera&apos;s address!</source>
        <translation>The IP %1 is a multicast address: it cannot be a camera&apos;s address!</translation>
    </message>
    <message>
        <source>The IP %1 is reserved: it cannot be a camera&apos;s address!</source>
        <translation>The IP %1 is reserved: it cannot be a camera&apos;s address!</translation>
    </message>
    <message>
        <source>The Value is longer than 8 bytes!</source>
        <translation>The Value is longer than 8 bytes!</translation>
    </message>
    <message>
        <source>The Value only is 0/1!</source>
        <translation>The Value only is 0/1!</translation>
    </message>
    <message>
        <source>The Value is NULL!</source>
        <translation>The Value is NULL!</translation>
    </message>
    <message>
        <source>The Value only is a decimal number from %1 to %2!</source>
        <translation>The Value only is a decimal number from %1 to %2!</translation>
    </message>
    <message>
        <source>warning!</source>
        <translation>warning!</translation>
    </message>
    <message>
        <source>The Set is Null,please edit !</source>
        <translation>The Set is Null,please edit !</translation>
    </message>
    <message>
        <source>error</source>
        <translation>error</translation>
    </message>
    <message>
        <source>Open file error!</source>
        <translation>Open file error!</translation>
    </message>
    <message>
        <source>Open file error! This is %1, not a regular file.</source>
        <translation>Open file error! This is %1, not a regular file.</translation>
    </message>
    <message>
        <source>This file is not Readable</source>
        <translation>This file is not Readable</translation>
    </message>
    <message>
        <source>Json is error!</source>
        <translation>Json is error!</translation>
    </message>
    <message>
        <source>Json is error! These members hold neither a text nor a number: %1</source>
        <translation>Json is error! These members hold neither a text nor a number: %1</translation>
    </message>
    <message>
        <source>Save file error! The file was not saved (%1); any file that was there is unchanged.</source>
        <translation>Save file error! The file was not saved (%1); any file that was there is unchanged.</translation>
    </message>
    <message>
        <source>图片未保存：无法创建文件夹 %1</source>
        <translation>Picture not saved: cannot create the folder %1</translation>
    </message>
    <message>
        <source>图片未保存：文件夹 %1 中以 %2 命名的文件已太多</source>
        <translation>Picture not saved: the folder %1 holds too many files named %2</translation>
    </message>
    <message>
        <source>图片未保存：%1（%2）</source>
        <translation>Picture not saved: %1 (%2)</translation>
    </message>
    <message>
        <source>相机 %1 打开失败：IB_CC_OpenCamera 返回状态 %2</source>
        <translation>Camera %1 could not be opened: IB_CC_OpenCamera returned status %2</translation>
    </message>
    <message>
        <source>相机 %1 启动失败：IB_CC_StartCamera 返回状态 %2</source>
        <translation>Camera %1 could not be started: IB_CC_StartCamera returned status %2</translation>
    </message>
    <message>
        <source>相机 %1 暂停失败：IB_CC_StopCamera 返回状态 %2</source>
        <translation>Camera %1 could not be paused: IB_CC_StopCamera returned status %2</translation>
    </message>
    <message>
        <source>相机 %1 关闭失败：IB_CC_CloseCamera 返回状态 %2</source>
        <translation>Camera %1 could not be closed: IB_CC_CloseCamera returned status %2</translation>
    </message>
    <message>
        <source>相机 %1 切换到%2失败：IB_CC_modeCamera 返回状态 %3</source>
        <translation>Camera %1 could not switch to %2: IB_CC_modeCamera returned status %3</translation>
    </message>
    <message>
        <source>相机 %1 抓图失败：IB_CC_softCamera 返回状态 %2</source>
        <translation>Camera %1 could not capture: IB_CC_softCamera returned status %2</translation>
    </message>
    <message>
        <source>相机 %1 注册图像回调失败：IB_CC_RegisterImage 返回状态 %2</source>
        <translation>Camera %1 could not register the frame callback: IB_CC_RegisterImage returned status %2</translation>
    </message>
    <message>
        <source>相机 %1 的图像无法显示：每像素 %2 位，只支持 8 位和 24 位</source>
        <translation>The frames of camera %1 cannot be shown: %2 bits per pixel, only 8 and 24 bits are supported</translation>
    </message>
    <message>
        <source>相机 %1 的图像无法显示：%2 × %3 像素，每像素 %4 位</source>
        <translation>The frames of camera %1 cannot be shown: %2 × %3 pixels, %4 bits per pixel</translation>
    </message>
    <message>
        <source>拉伸显示</source>
        <translation>Stretch</translation>
    </message>
    <message>
        <source>适应窗口（保持比例）</source>
        <translation>Fit (keep proportions)</translation>
    </message>
    <message>
        <source>原始大小 1:1</source>
        <translation>Actual size 1:1</translation>
    </message>
    <message>
        <source>放大</source>
        <translation>Zoom in</translation>
    </message>
    <message>
        <source>缩小</source>
        <translation>Zoom out</translation>
    </message>
    <message>
        <source>饱和标记</source>
        <translation>Saturation marks</translation>
    </message>
    <message>
        <source>255 的像素标为红色，0 的像素标为蓝色</source>
        <translation>Pixels at 255 marked red, pixels at 0 blue</translation>
    </message>
    <message>
        <source>平滑缩放</source>
        <translation>Smooth scaling</translation>
    </message>
    <message>
        <source>快速缩放（最近像素）</source>
        <translation>Fast scaling (nearest pixel)</translation>
    </message>
    <message>
        <source>像素 (%1, %2)  灰度 %3</source>
        <translation>Pixel (%1, %2)  grey %3</translation>
    </message>
    <message>
        <source>像素 (%1, %2)  R %3  G %4  B %5</source>
        <translation>Pixel (%1, %2)  R %3  G %4  B %5</translation>
    </message>
    <message>
        <source>相机: %1
时间: %2
帧号: %3</source>
        <translation>Camera: %1
Time: %2
Frame: %3</translation>
    </message>
    <message>
        <source>无法写成 %1 图像</source>
        <translation>cannot be written as a %1 image</translation>
    </message>
</context>
<context>
    <name>RecentFilesMenu</name>
    <message>
        <source>(没有最近打开的文件)</source>
        <translation>(no recent files)</translation>
    </message>
    <message>
        <source> (文件不存在)</source>
        <translation> (missing)</translation>
    </message>
    <message>
        <source>最近打开</source>
        <translation>Recently opened</translation>
    </message>
    <message>
        <source>文件 %1 已不存在, 没有打开。</source>
        <translation>The file %1 is no longer there; nothing was opened.</translation>
    </message>
</context>
<context>
    <name>RecordingControl</name>
    <message>
        <source>录像</source>
        <translation>Record</translation>
    </message>
    <message>
        <source>录像没有开始: 无法在 %1 中创建文件夹。</source>
        <translation>Recording did not start: no folder can be made in %1.</translation>
    </message>
    <message>
        <source>录像中 %1: 已写入 %2 帧, 丢失 %3 帧</source>
        <translation>Recording %1: %2 frames written, %3 lost</translation>
    </message>
    <message>
        <source>录像结束 %1: 已写入 %2 帧, 丢失 %3 帧</source>
        <translation>Recording ended %1: %2 frames written, %3 lost</translation>
    </message>
    <message>
        <source>停止录像</source>
        <translation>Stop recording</translation>
    </message>
    <message>
        <source>开始录像 (设置 → 录像/抓图)</source>
        <translation>Start recording (Settings → Recording/capture)</translation>
    </message>
    <message>
        <source>无法写成 %1 图像</source>
        <translation>cannot be written as a %1 image</translation>
    </message>
    <message>
        <source>录像已停止: 无法写入 %1 (%2)。已写入的帧都完整地保存在文件夹中。</source>
        <translation>Recording stopped: %1 cannot be written (%2). The frames written before are complete in the folder.</translation>
    </message>
</context>
<context>
    <name>RecordingDialog</name>
    <message>
        <source>录像/抓图</source>
        <translation>Recording/capture</translation>
    </message>
    <message>
        <source>图片格式 (抓图和录像):</source>
        <translation>Image format (snapshots and recordings):</translation>
    </message>
    <message>
        <source>录像时每 n 帧保存一帧, n =</source>
        <translation>Keep one frame in n, n =</translation>
    </message>
    <message>
        <source>1: 保存每一帧; n: 保存第一帧, 然后每 n 帧保存一帧</source>
        <translation>1: every frame; n: the first frame, then every n-th</translation>
    </message>
    <message>
        <source>录像结束:</source>
        <translation>Recording ends:</translation>
    </message>
    <message>
        <source>直到按下停止</source>
        <translation>when stopped</translation>
    </message>
    <message>
        <source>录够秒数后</source>
        <translation>after N seconds</translation>
    </message>
    <message>
        <source>录够帧数后</source>
        <translation>after N frames</translation>
    </message>
    <message>
        <source> 秒</source>
        <translation> s</translation>
    </message>
    <message>
        <source> 帧</source>
        <translation> frames</translation>
    </message>
    <message>
        <source>录像保存在 %1 下以开始时间命名的文件夹中, 文件按帧的顺序编号 (000001, 000002, ...)。</source>
        <translation>Recordings go to a folder named by their start time under %1, the files numbered in the order of the frames (000001, 000002, ...).</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>StatisticsDock</name>
    <message>
        <source>状态</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>图像流</source>
        <translation>Stream</translation>
    </message>
    <message>
        <source>SDK 送达帧数:</source>
        <translation>Delivered by the SDK:</translation>
    </message>
    <message>
        <source>回调丢弃帧数:</source>
        <translation>Dropped by the callback:</translation>
    </message>
    <message>
        <source>两个帧缓冲区都满时相机送来的帧被丢弃</source>
        <translation>Frames the camera sent while both frame buffers were full are dropped</translation>
    </message>
    <message>
        <source>已转换帧数:</source>
        <translation>Converted:</translation>
    </message>
    <message>
        <source>窗口跳过帧数:</source>
        <translation>Skipped for the window:</translation>
    </message>
    <message>
        <source>已显示帧数:</source>
        <translation>Shown:</translation>
    </message>
    <message>
        <source>帧率:</source>
        <translation>Frame rate:</translation>
    </message>
    <message>
        <source>数据率:</source>
        <translation>Data rate:</translation>
    </message>
    <message>
        <source>帧尺寸:</source>
        <translation>Frame size:</translation>
    </message>
    <message>
        <source>像素格式:</source>
        <translation>Pixel format:</translation>
    </message>
    <message>
        <source>距上一帧:</source>
        <translation>Since the last frame:</translation>
    </message>
    <message>
        <source>直方图</source>
        <translation>Histogram</translation>
    </message>
    <message>
        <source>饱和标记</source>
        <translation>Saturation marks</translation>
    </message>
    <message>
        <source>255 的像素标为红色，0 的像素标为蓝色</source>
        <translation>Pixels at 255 marked red, pixels at 0 blue</translation>
    </message>
    <message>
        <source>清晰度（对焦）</source>
        <translation>Sharpness (focus)</translation>
    </message>
    <message>
        <source>重置峰值</source>
        <translation>Reset peak</translation>
    </message>
    <message>
        <source>峰值 %1</source>
        <translation>Peak %1</translation>
    </message>
    <message>
        <source>%1 帧/秒</source>
        <translation>%1 frames/s</translation>
    </message>
    <message>
        <source>%1 MB/s</source>
        <translation>%1 MB/s</translation>
    </message>
    <message>
        <source>%1 × %2</source>
        <translation>%1 × %2</translation>
    </message>
    <message>
        <source>8 位灰度</source>
        <translation>8-bit grey</translation>
    </message>
    <message>
        <source>24 位彩色 (RGB)</source>
        <translation>24-bit colour (RGB)</translation>
    </message>
    <message>
        <source>%1 秒</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>整幅画面</source>
        <translation>Whole picture</translation>
    </message>
    <message>
        <source>可见区域 (%1, %2) %3 × %4</source>
        <translation>Visible region (%1, %2) %3 × %4</translation>
    </message>
    <message>
        <source>最小</source>
        <translation>Min</translation>
    </message>
    <message>
        <source>最大</source>
        <translation>Max</translation>
    </message>
    <message>
        <source>平均</source>
        <translation>Mean</translation>
    </message>
    <message>
        <source>标准差</source>
        <translation>Std dev</translation>
    </message>
    <message>
        <source>0 级</source>
        <translation>At 0</translation>
    </message>
    <message>
        <source>255 级</source>
        <translation>At 255</translation>
    </message>
    <message>
        <source>灰度</source>
        <translation>Grey</translation>
    </message>
    <message>
        <source>清晰度 %1</source>
        <translation>Sharpness %1</translation>
    </message>
</context>
</TS>
