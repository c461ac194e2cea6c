<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>About</name>
    <message>
        <source>Tamblin-关于我们</source>
        <translation>Tamblin - About</translation>
    </message>
    <message>
        <source>感谢您使用我们的软件！！</source>
        <translation>Thank you for using our software!</translation>
    </message>
    <message>
        <source>录音前请先对系统和软件设置，详见帮助！</source>
        <translation>Set up your system and this program before recording; see Help!</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>帮助(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
</context>
<context>
    <name>AccessibleNames</name>
    <message>
        <source>输入设备</source>
        <translation>Input device</translation>
    </message>
    <message>
        <source>输入线路</source>
        <translation>Input line</translation>
    </message>
    <message>
        <source>录音音量</source>
        <translation>Recording level</translation>
    </message>
    <message>
        <source>输出文件</source>
        <translation>Output file</translation>
    </message>
    <message>
        <source>选择输出文件</source>
        <translation>Choose output file</translation>
    </message>
    <message>
        <source>输出格式</source>
        <translation>Output format</translation>
    </message>
    <message>
        <source>选择输出格式</source>
        <translation>Choose output format</translation>
    </message>
    <message>
        <source>取样率</source>
        <translation>Sample rate</translation>
    </message>
    <message>
        <source>文件类型</source>
        <translation>File type</translation>
    </message>
    <message>
        <source>波形</source>
        <translation>Waveform</translation>
    </message>
    <message>
        <source>频谱</source>
        <translation>Spectrum</translation>
    </message>
    <message>
        <source>播放位置</source>
        <translation>Playback position</translation>
    </message>
    <message>
        <source>录音概览</source>
        <translation>Take overview</translation>
    </message>
    <message>
        <source>状态栏</source>
        <translation>Status bar</translation>
    </message>
    <message>
        <source>预录秒数</source>
        <translation>Pre-record seconds</translation>
    </message>
    <message>
        <source>第二输入设备</source>
        <translation>Second input device</translation>
    </message>
    <message>
        <source>第一输入的增益</source>
        <translation>First input&apos;s gain</translation>
    </message>
    <message>
        <source>第二输入的增益</source>
        <translation>Second input&apos;s gain</translation>
    </message>
    <message>
        <source>轨道</source>
        <translation>Tracks</translation>
    </message>
</context>
<context>
    <name>AppErrorBox</name>
    <message>
        <source>无法完成此操作 (错误 %1):</source>
        <translation>The operation could not be completed (error %1):</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>未知的界面语言 &quot;%1&quot;, 可用: zh, en</source>
        <translation>Unknown interface language &quot;%1&quot;, available: zh, en</translation>
    </message>
    <message>
        <source>Tamblin 录音机</source>
        <translation>Tamblin sound recorder</translation>
    </message>
    <message>
        <source>界面语言: zh (中文) 或 en (英文)</source>
        <translation>Interface language: zh (Chinese) or en (English)</translation>
    </message>
    <message>
        <source>让运行中的 Tamblin 开始录音 (它未运行时先启动它)</source>
        <translation>Make the running Tamblin start recording (starting it first when it is not running)</translation>
    </message>
    <message>
        <source>停止录音</source>
        <translation>Stop recording</translation>
    </message>
    <message>
        <source>暂停录音</source>
        <translation>Pause the recording</translation>
    </message>
    <message>
        <source>继续录音</source>
        <translation>Go on with the paused recording</translation>
    </message>
    <message>
        <source>开始或停止录音, 如同按下开始按钮</source>
        <translation>Start or stop recording, as the start button does</translation>
    </message>
    <message>
        <source>显示一行状态: 状态, 长度, 文件, 输入丢失</source>
        <translation>Show one line of status: state, length, file, input lost</translation>
    </message>
    <message>
        <source>名称</source>
        <translation>name</translation>
    </message>
    <message>
        <source>配合 --start: 文件类型</source>
        <translation>With --start: the file type</translation>
    </message>
    <message>
        <source>配合 --start: 录音时长后自动停止, 如 90, 90s, 5m, 1h30m (最长 24h)</source>
        <translation>With --start: stop after recording this long, e.g. 90, 90s, 5m, 1h30m (at most 24h)</translation>
    </message>
    <message>
        <source>时长</source>
        <translation>duration</translation>
    </message>
    <message>
        <source>文件</source>
        <translation>file</translation>
    </message>
    <message>
        <source>配合 --no-window: 输出文件 (默认为下一个编号文件)</source>
        <translation>With --no-window: the output file (default: the next numbered file)</translation>
    </message>
    <message>
        <source>[文件]</source>
        <translation>[file]</translation>
    </message>
    <message>
        <source>无效的时长 &quot;%1&quot;, 例如: 90, 90s, 5m, 1h30m</source>
        <translation>Invalid duration &quot;%1&quot;, for example: 90, 90s, 5m, 1h30m</translation>
    </message>
    <message>
        <source>一次只能给出一个命令</source>
        <translation>Give only one command at a time</translation>
    </message>
    <message>
        <source>设备名称太长或含有无效字符</source>
        <translation>The device name is too long or holds invalid characters</translation>
    </message>
    <message>
        <source>--no-window 不能与 --%1 一起使用</source>
        <translation>--no-window does not go with --%1</translation>
    </message>
    <message>
        <source>--no-window 需要 --device</source>
        <translation>--no-window needs --device</translation>
    </message>
    <message>
        <source>只能给出一个输出文件</source>
        <translation>Give only one output file</translation>
    </message>
    <message>
        <source>只有 --no-window 才接受文件名: %1</source>
        <translation>Only --no-window takes a file name: %1</translation>
    </message>
    <message>
        <source>在当前位置加一个标记, 名称为其后的文字 (默认为 &quot;标记 N&quot;)</source>
        <translation>Add a marker at the current sample, named by the text after it (default &quot;Marker N&quot;)</translation>
    </message>
    <message>
        <source>标记名称太长或含有无效字符</source>
        <translation>The marker name is too long or holds invalid characters</translation>
    </message>
    <message>
        <source>秒</source>
        <translation>seconds</translation>
    </message>
    <message>
        <source>配合 --no-window: 声音触发录音, 如“定时/触发”页 (以下四项可改其设置)</source>
        <translation>With --no-window: sound-activated recording, as on the &quot;Schedule/Trigger&quot; page (the next four options change its settings)</translation>
    </message>
    <message>
        <source>声音触发的阈值, dBFS (-90 到 0, 默认 -40)</source>
        <translation>Sound activation threshold in dBFS (-90 to 0, default -40)</translation>
    </message>
    <message>
        <source>声音触发的预录秒数 (0 到 30, 默认 2)</source>
        <translation>Sound activation pre-roll in seconds (0 to 30, default 2)</translation>
    </message>
    <message>
        <source>声音触发的静音等待秒数 (0.1 到 600, 默认 3)</source>
        <translation>Silence in seconds that ends a sound-activated take (0.1 to 600, default 3)</translation>
    </message>
    <message>
        <source>静音之后: pause 暂停录音 (默认), new-file 开始新文件</source>
        <translation>After silence: pause pauses the recording (default), new-file starts a new file</translation>
    </message>
    <message>
        <source>配合 --no-window: 每隔这么多分钟 (1 到 1440) 分割文件</source>
        <translation>With --no-window: start a new file every this many minutes (1 to 1440)</translation>
    </message>
    <message>
        <source>分钟</source>
        <translation>minutes</translation>
    </message>
    <message>
        <source>--%1 需要一个数, 不是 &quot;%2&quot;</source>
        <translation>--%1 needs a number, not &quot;%2&quot;</translation>
    </message>
    <message>
        <source>--threshold, --pre-roll, --hang 和 --after-silence 需要 --sound-activated</source>
        <translation>--threshold, --pre-roll, --hang and --after-silence need --sound-activated</translation>
    </message>
    <message>
        <source>--after-silence 只能是 pause 或 new-file, 不是 &quot;%1&quot;</source>
        <translation>--after-silence can only be pause or new-file, not &quot;%1&quot;</translation>
    </message>
    <message>
        <source>--sound-activated, --threshold, --pre-roll, --hang, --after-silence 和 --split 只能与 --no-window 一起使用</source>
        <translation>--sound-activated, --threshold, --pre-roll, --hang, --after-silence and --split can only be used with --no-window</translation>
    </message>
    <message>
        <source>配合 --start: 录音从按下之前这么多秒开始 (0 到 600, 最多为监听时保留的预录秒数)</source>
        <translation>With --start: the recording begins this many seconds before the request (0 to 600; at most the pre-record kept while monitoring)</translation>
    </message>
    <message>
        <source>--pre-record 必须是 0 到 600 之间的整数秒, 不是 &quot;%1&quot;</source>
        <translation>--pre-record must be whole seconds from 0 to 600, not &quot;%1&quot;</translation>
    </message>
    <message>
        <source>未知的文件类型 &quot;%1&quot;, 可用: %2</source>
        <translation>Unknown file type &quot;%1&quot;, available: %2</translation>
    </message>
    <message>
        <source>配合 --start: 按名称或描述选择输入设备; 给两次时第二个是第二输入 (如电脑声音)</source>
        <translation>With --start: the input device by name or description; given twice, the second is the second input (such as the computer&apos;s sound)</translation>
    </message>
    <message>
        <source>两路输入的轨道: mix 混合为一个文件, separate 每路一个文件, both 两者都要</source>
        <translation>With two inputs: mix into one file, separate (a file per input), or both</translation>
    </message>
    <message>
        <source>不打开窗口, 在终端上录音 (需要 --device; 可加第二个 --device 和 --tracks, --type, --for, 声音触发, --split 和文件名, 文件名的扩展名决定文件类型); Ctrl+C 结束录音并完成文件</source>
        <translation>Record on the terminal without a window (needs --device; takes a second --device and --tracks, --type, --for, sound activation, --split and a file name, whose extension decides the file type); Ctrl+C ends the recording and finishes the file</translation>
    </message>
    <message>
        <source>--device 最多给两次: 第一输入和第二输入</source>
        <translation>--device may be given at most twice: the first input and the second input</translation>
    </message>
    <message>
        <source>未知的轨道 &quot;%1&quot;, 可用: %2</source>
        <translation>Unknown tracks &quot;%1&quot;, available: %2</translation>
    </message>
    <message>
        <source>--device, --type, --for, --pre-record 和 --tracks 只能与 --start 一起使用</source>
        <translation>--device, --type, --for, --pre-record and --tracks only go with --start</translation>
    </message>
    <message>
        <source>--no-window 的 --tracks 需要第二个 --device</source>
        <translation>--tracks with --no-window needs a second --device</translation>
    </message>
    <message>
        <source>--pre-record 需要窗口: 它取开始之前监听时保留的声音, 而 --no-window 的录音在开始时才打开输入 (声音触发录音的预录请用 --pre-roll)</source>
        <translation>--pre-record needs the window: it takes the sound kept while monitoring before the start, and a --no-window recording opens its input only at its start (for a sound-activated recording&apos;s lead-in use --pre-roll)</translation>
    </message>
</context>
<context>
    <name>DBusRecorderService</name>
    <message>
        <source>录音未能开始</source>
        <translation>The recording did not start</translation>
    </message>
    <message>
        <source>Start 不认识选项 &quot;%1&quot;</source>
        <translation>Start does not know the option &quot;%1&quot;</translation>
    </message>
    <message>
        <source>预录秒数必须在 0 到 %1 之间, 不是 %2</source>
        <translation>The pre-record seconds must be from 0 to %1, not %2</translation>
    </message>
</context>
<context>
    <name>DialogButtons</name>
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
    <name>DiskSettingsFile</name>
    <message>
        <source>它是一个符号链接</source>
        <translation>it is a symbolic link</translation>
    </message>
    <message>
        <source>它不是普通文件</source>
        <translation>it is not a regular file</translation>
    </message>
    <message>
        <source>它大于 %1 KB</source>
        <translation>it is larger than %1 KB</translation>
    </message>
</context>
<context>
    <name>EncoderFLAC</name>
    <message>
        <source>压缩级别 %1</source>
        <translation>Compression level %1</translation>
    </message>
    <message>
        <source> (最快)</source>
        <translation> (fastest)</translation>
    </message>
    <message>
        <source> (默认)</source>
        <translation> (default)</translation>
    </message>
    <message>
        <source> (最小)</source>
        <translation> (smallest)</translation>
    </message>
    <message>
        <source>FLAC 无损音频</source>
        <translation>FLAC lossless audio</translation>
    </message>
</context>
<context>
    <name>EncoderMP3</name>
    <message>
        <source>MP3 音频</source>
        <translation>MP3 audio</translation>
    </message>
</context>
<context>
    <name>EncoderOpus</name>
    <message>
        <source>Ogg Opus 音频</source>
        <translation>Ogg Opus audio</translation>
    </message>
</context>
<context>
    <name>FolderMaker</name>
    <message>
        <source>无法创建文件夹 %1: %2</source>
        <translation>Cannot create the folder %1: %2</translation>
    </message>
</context>
<context>
    <name>Form1</name>
    <message>
        <source>开始录音</source>
        <translation>Start Recording</translation>
    </message>
    <message>
        <source>关于</source>
        <translation>About</translation>
    </message>
    <message>
        <source>最小化至系统托盘</source>
        <translation>Minimize to Tray</translation>
    </message>
    <message>
        <source>文件大小: 0 字节</source>
        <translation>File size: 0 bytes</translation>
    </message>
    <message>
        <source>长度: %1</source>
        <translation>Length: %1</translation>
    </message>
    <message>
        <source>输入丢失: %1</source>
        <translation>Input lost: %1</translation>
    </message>
    <message>
        <source>特效/滤镜</source>
        <translation>Effects/Filters</translation>
    </message>
    <message>
        <source>回声</source>
        <translation>Echo</translation>
    </message>
    <message>
        <source>周相移动</source>
        <translation>Phase Shift</translation>
    </message>
    <message>
        <source>放大器</source>
        <translation>Amplifier</translation>
    </message>
    <message>
        <source>均衡器</source>
        <translation>Equalizer</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>帮助</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>左声道:</source>
        <translation>Left:</translation>
    </message>
    <message>
        <source>右声道:</source>
        <translation>Right:</translation>
    </message>
    <message>
        <source>开始/停止录音 (%1)</source>
        <translation>Start/stop recording (%1)</translation>
    </message>
    <message>
        <source>暂停/继续录音 (%1)</source>
        <translation>Pause/resume recording (%1)</translation>
    </message>
    <message>
        <source>正在完成文件, 还有 %1 秒的录音待写入…</source>
        <translation>Finishing the file, %1 s of the recording still to write…</translation>
    </message>
    <message>
        <source>定时/触发</source>
        <translation>Schedule/Trigger</translation>
    </message>
    <message>
        <source>标记</source>
        <translation>Mark</translation>
    </message>
    <message>
        <source>在当前位置加一个标记 (%1)</source>
        <translation>Add a marker at the current sample (%1)</translation>
    </message>
    <message>
        <source>文件大小: %1</source>
        <translation>File size: %1</translation>
    </message>
    <message>
        <source>下次标签…</source>
        <translation>Next tags…</translation>
    </message>
    <message>
        <source>下次录音的标题、软件和备注 (%1)</source>
        <translation>Title, program and comment of the next recordings (%1)</translation>
    </message>
    <message>
        <source>请在上方&quot;设备&quot;框中选择录音设备.</source>
        <translation>Choose the recording device in the &quot;Device&quot; box above.</translation>
    </message>
    <message>
        <source>第二输入 左:</source>
        <translation>Second L:</translation>
    </message>
    <message>
        <source>第二输入 右:</source>
        <translation>Second R:</translation>
    </message>
</context>
<context>
    <name>FormatChooserDialog</name>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>格式类型:</source>
        <translation>Format tag:</translation>
    </message>
    <message>
        <source>格式:</source>
        <translation>Format:</translation>
    </message>
    <message>
        <source>输入: %1 Hz, 16 Bit, %2</source>
        <translation>Input: %1 Hz, 16 Bit, %2</translation>
    </message>
    <message>
        <source>立体声</source>
        <translation>Stereo</translation>
    </message>
    <message>
        <source>单声道</source>
        <translation>Mono</translation>
    </message>
</context>
<context>
    <name>InputChooser</name>
    <message>
        <source>输入</source>
        <translation>Input</translation>
    </message>
    <message>
        <source>设备:</source>
        <translation>Device:</translation>
    </message>
    <message>
        <source>线路:</source>
        <translation>Line:</translation>
    </message>
    <message>
        <source>声音:</source>
        <translation>Volume:</translation>
    </message>
    <message>
        <source>监听输入</source>
        <translation>Monitor input</translation>
    </message>
    <message>
        <source>选好设备后就打开输入, 录音前即可看到电平</source>
        <translation>Opens the input once a device is chosen, so the level shows before recording</translation>
    </message>
    <message>
        <source> 秒</source>
        <translation> s</translation>
    </message>
    <message>
        <source>开始录音时, 文件从按下之前这么多秒开始 (需要监听输入)</source>
        <translation>A recording begins this many seconds before Start is pressed (needs Monitor input)</translation>
    </message>
    <message>
        <source>预录:</source>
        <translation>Pre-record:</translation>
    </message>
    <message>
        <source>Couldn&apos;t select device!</source>
        <translation>Couldn&apos;t select device!</translation>
    </message>
    <message>
        <source>Couldn&apos;t select mixer line!</source>
        <translation>Couldn&apos;t select mixer line!</translation>
    </message>
    <message>
        <source>上次使用的录音设备 &quot;%1&quot; 已不在, 请在&quot;设备&quot;框中另选一个</source>
        <translation>The last recording device &quot;%1&quot; is gone; choose another in the Device box</translation>
    </message>
</context>
<context>
    <name>LevelMeterView</name>
    <message>
        <source>低于 %1 dB</source>
        <translation>below %1 dB</translation>
    </message>
    <message>
        <source>%1, 已削波</source>
        <translation>%1, clipped</translation>
    </message>
</context>
<context>
    <name>MeterPanel</name>
    <message>
        <source>左声道电平</source>
        <translation>Left level</translation>
    </message>
    <message>
        <source>右声道电平</source>
        <translation>Right level</translation>
    </message>
    <message>
        <source>左声道削波指示灯</source>
        <translation>Left clip lamp</translation>
    </message>
    <message>
        <source>右声道削波指示灯</source>
        <translation>Right clip lamp</translation>
    </message>
    <message>
        <source>削波</source>
        <translation>Clip</translation>
    </message>
    <message>
        <source>有削波时点亮, 单击熄灭</source>
        <translation>Lights when the signal clips; click to put it out</translation>
    </message>
    <message>
        <source>电平刻度 (dBFS)</source>
        <translation>Level scale (dBFS)</translation>
    </message>
    <message>
        <source>响度  瞬时 %1  短期 %2  综合 %3 LUFS  范围 %4 LU  真峰值 %5 dBTP</source>
        <translation>Loudness  M %1  S %2  I %3 LUFS  LRA %4 LU  TP %5 dBTP</translation>
    </message>
    <message>
        <source>削波: 左 %1, 右 %2</source>
        <translation>Clips: L %1, R %2</translation>
    </message>
    <message>
        <source>第二输入左声道电平</source>
        <translation>Second input left level</translation>
    </message>
    <message>
        <source>第二输入右声道电平</source>
        <translation>Second input right level</translation>
    </message>
</context>
<context>
    <name>OutputChooser</name>
    <message>
        <source>选择声音输出格式</source>
        <translation>Choose Sound Output Format</translation>
    </message>
    <message>
        <source>输出</source>
        <translation>Output</translation>
    </message>
    <message>
        <source>打开文件夹</source>
        <translation>Open Folder</translation>
    </message>
    <message>
        <source>立体声</source>
        <translation>Stereo</translation>
    </message>
    <message>
        <source>%1 格式:</source>
        <translation>%1 format:</translation>
    </message>
    <message>
        <source>文件:</source>
        <translation>File:</translation>
    </message>
    <message>
        <source>取样:</source>
        <translation>Sample rate:</translation>
    </message>
    <message>
        <source>文件类型:</source>
        <translation>File type:</translation>
    </message>
</context>
<context>
    <name>PeerCredentials</name>
    <message>
        <source>连接的另一端属于另一个用户 (uid %1)</source>
        <translation>The other end of the connection belongs to another user (uid %1)</translation>
    </message>
</context>
<context>
    <name>RecorderRequests</name>
    <message>
        <source>已开始录音</source>
        <translation>Recording started</translation>
    </message>
    <message>
        <source>已停止录音</source>
        <translation>Recording stopped</translation>
    </message>
    <message>
        <source>已暂停</source>
        <translation>Paused</translation>
    </message>
    <message>
        <source>已继续录音</source>
        <translation>Recording resumed</translation>
    </message>
    <message>
        <source>空闲</source>
        <translation>Idle</translation>
    </message>
    <message>
        <source>正在开始</source>
        <translation>Starting</translation>
    </message>
    <message>
        <source>录音中</source>
        <translation>Recording</translation>
    </message>
    <message>
        <source>正在完成文件</source>
        <translation>Finishing the file</translation>
    </message>
    <message>
        <source>已加标记</source>
        <translation>Marker added</translation>
    </message>
    <message>
        <source>; 警告: %1</source>
        <translation>; warning: %1</translation>
    </message>
    <message>
        <source>录音未能开始</source>
        <translation>The recording did not start</translation>
    </message>
    <message>
        <source>监听中</source>
        <translation>Monitoring</translation>
    </message>
    <message>
        <source>等待声音</source>
        <translation>Waiting for sound</translation>
    </message>
    <message>
        <source>%1, 长度 %2, 文件 %3, 输入丢失 %4, 大小 %5, 设备 %6, 类型 %7, 电平 %8 dBFS</source>
        <translation>%1, length %2, file %3, input lost %4, size %5, device %6, type %7, level %8 dBFS</translation>
    </message>
    <message>
        <source>等待定时开始 (%1 后)</source>
        <translation>waiting for the scheduled start (in %1)</translation>
    </message>
</context>
<context>
    <name>RecorderSettings</name>
    <message>
        <source>文件已损坏</source>
        <translation>the file is damaged</translation>
    </message>
    <message>
        <source>设置文件无法读取 (%1), 已使用默认设置</source>
        <translation>Settings file not read (%1); using the defaults</translation>
    </message>
    <message>
        <source>无法保存设置: %1</source>
        <translation>Could not save the settings: %1</translation>
    </message>
</context>
<context>
    <name>RecordingController</name>
    <message>
        <source>无法创建输出文件夹 %1 !</source>
        <translation>Cannot create the output folder %1!</translation>
    </message>
    <message>
        <source>没有指定输出文件!</source>
        <translation>No output file given!</translation>
    </message>
    <message>
        <source>没有选择硬件设备!</source>
        <translation>No recording device chosen!</translation>
    </message>
    <message>
        <source>磁盘空间不足, 无法开始录音!</source>
        <translation>Not enough disk space to start recording!</translation>
    </message>
    <message>
        <source>不能启动录音功能!</source>
        <translation>Cannot start recording!</translation>
    </message>
    <message>
        <source>停止录音</source>
        <translation>Stop Recording</translation>
    </message>
    <message>
        <source>开始录音</source>
        <translation>Start Recording</translation>
    </message>
    <message>
        <source>此时无法停止录音!</source>
        <translation>The recording cannot be stopped now!</translation>
    </message>
    <message>
        <source>录音中有 %1 处输入丢失 (系统太忙), 文件在这些地方有间断!</source>
        <translation>Input was lost %1 time(s) during the recording (the system was too busy); the file has gaps there!</translation>
    </message>
    <message>
        <source>无法创建下一个文件, 录音已停止!</source>
        <translation>The next file cannot be created, the recording has stopped!</translation>
    </message>
    <message>
        <source>录音设备已断开, 录音已停止!</source>
        <translation>The recording device was disconnected, the recording has stopped!</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>取样率无效! 请输入 1000 到 96000 之间的数字.</source>
        <translation>Invalid sample rate! Enter a number from 1000 to 96000.</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>继续</source>
        <translation>Resume</translation>
    </message>
    <message>
        <source>录音中有 %1 处输入丢失 (磁盘写入跟不上: %2), 文件在这些地方有间断!</source>
        <translation>Input was lost %1 time(s) during the recording (the disk did not keep up: %2); the file has gaps there!</translation>
    </message>
    <message>
        <source>输入丢失</source>
        <translation>Input lost</translation>
    </message>
    <message>
        <source>输入 2 丢失</source>
        <translation>Input 2 lost</translation>
    </message>
    <message>
        <source>无法打开输入 2, 它的音轨是静音; 输入 1 照常录音!</source>
        <translation>Cannot open input 2: its track is silent; input 1 records as usual!</translation>
    </message>
    <message>
        <source>输入 2 已断开, 它的音轨此后是静音; 输入 1 照常录音!</source>
        <translation>Input 2 was disconnected: its track is silent from here on; input 1 records as usual!</translation>
    </message>
    <message>
        <source>文件 %1 的扩展名与文件类型 %2 不符!</source>
        <translation>The extension of file %1 does not match the file type %2!</translation>
    </message>
</context>
<context>
    <name>RecordingEngine</name>
    <message>
        <source>上一个录音的文件还在完成中</source>
        <translation>The last recording&apos;s file is still being finished</translation>
    </message>
    <message>
        <source>录音未能开始</source>
        <translation>The recording did not start</translation>
    </message>
    <message>
        <source>录音已在进行中</source>
        <translation>A recording is already running</translation>
    </message>
    <message>
        <source>无法选择设备 &quot;%1&quot;</source>
        <translation>Cannot select device &quot;%1&quot;</translation>
    </message>
    <message>
        <source>无法选择线路 %1</source>
        <translation>Cannot select line %1</translation>
    </message>
    <message>
        <source>没有可停止的录音</source>
        <translation>No recording to stop</translation>
    </message>
    <message>
        <source>录音已暂停</source>
        <translation>The recording is already paused</translation>
    </message>
    <message>
        <source>没有可暂停的录音</source>
        <translation>No recording to pause</translation>
    </message>
    <message>
        <source>录音没有暂停</source>
        <translation>The recording is not paused</translation>
    </message>
    <message>
        <source>没有可继续的录音</source>
        <translation>No paused recording to resume</translation>
    </message>
    <message>
        <source>没有正在进行的录音</source>
        <translation>No recording is running</translation>
    </message>
    <message>
        <source>这次录音的标记已达上限 (%1 个), 没有再加</source>
        <translation>This recording holds the most markers it can take (%1); none was added</translation>
    </message>
    <message>
        <source>输入已停止, 录音已结束 (短于要求的时长, 收到的声音都在文件中)!</source>
        <translation>The input stopped, so the recording has ended (shorter than the duration asked for; all the sound received is in the file)!</translation>
    </message>
    <message>
        <source>找不到设备 &quot;%1&quot;, 可用: %2</source>
        <translation>Device &quot;%1&quot; not found; available: %2</translation>
    </message>
    <message>
        <source>未知的文件类型 &quot;%1&quot;, 可用: %2</source>
        <translation>Unknown file type &quot;%1&quot;, available: %2</translation>
    </message>
</context>
<context>
    <name>RecordingJournal</name>
    <message>
        <source>无法读取录音日志 %1 !
%2</source>
        <translation>Cannot read the recording journal %1!
%2</translation>
    </message>
    <message>
        <source>无法写入录音日志 %1 !
%2</source>
        <translation>Cannot write the recording journal %1!
%2</translation>
    </message>
</context>
<context>
    <name>RecordingRecovery</name>
    <message>
        <source>上次录音没有正常结束, 以下文件已修复:</source>
        <translation>The last recording did not end normally; these files were repaired:</translation>
    </message>
    <message>
        <source>以下文件没有正常结束, 但无法修复 (文件只读?):</source>
        <translation>These files did not end normally but could not be repaired (read-only?):</translation>
    </message>
    <message>
        <source>上次录音没有正常结束, 以下文件没有录下任何声音, 已删除:</source>
        <translation>The last recording did not end normally; these files held no sound at all and were deleted:</translation>
    </message>
</context>
<context>
    <name>RecordingSleepGuard</name>
    <message>
        <source>正在录音</source>
        <translation>Recording</translation>
    </message>
</context>
<context>
    <name>RemoteCommandLine</name>
    <message>
        <source>Tamblin 没有在运行</source>
        <translation>Tamblin is not running</translation>
    </message>
    <message>
        <source>运行中的 Tamblin 没有回答 (%1)</source>
        <translation>The running Tamblin did not answer (%1)</translation>
    </message>
    <message>
        <source>运行中的 Tamblin 没有回答, 这个命令可能已经执行 (%1)</source>
        <translation>The running Tamblin did not answer; the command may have run (%1)</translation>
    </message>
</context>
<context>
    <name>ScheduleKeeper</name>
    <message>
        <source>定时: %1 后开始录音</source>
        <translation>Scheduled: starts in %1</translation>
    </message>
    <message>
        <source>定时: %1 后停止录音</source>
        <translation>Scheduled: stops in %1</translation>
    </message>
    <message>
        <source>定时: 文件达到 %1 时停止录音</source>
        <translation>Scheduled: stops at %1</translation>
    </message>
</context>
<context>
    <name>SecondInputChooser</name>
    <message>
        <source>无</source>
        <translation>None</translation>
    </message>
    <message>
        <source>与上面的设备同时录音的第二个设备, 如电脑播放的声音</source>
        <translation>A second device recorded together with the one above, such as what the computer plays</translation>
    </message>
    <message>
        <source>电脑声音</source>
        <translation>Computer sound</translation>
    </message>
    <message>
        <source>选择默认输出的监听源: 电脑播放的一切声音</source>
        <translation>Choose the default output&apos;s monitor: everything the computer plays</translation>
    </message>
    <message>
        <source>第二输入:</source>
        <translation>Second input:</translation>
    </message>
    <message>
        <source>第一输入在混音中的增益</source>
        <translation>The first input&apos;s gain in the mix</translation>
    </message>
    <message>
        <source>第二输入在混音中的增益</source>
        <translation>The second input&apos;s gain in the mix</translation>
    </message>
    <message>
        <source>第一:</source>
        <translation>First:</translation>
    </message>
    <message>
        <source>第二:</source>
        <translation>Second:</translation>
    </message>
    <message>
        <source>增益:</source>
        <translation>Gain:</translation>
    </message>
    <message>
        <source>混合</source>
        <translation>Mix</translation>
    </message>
    <message>
        <source>分开</source>
        <translation>Separate</translation>
    </message>
    <message>
        <source>两者</source>
        <translation>Both</translation>
    </message>
    <message>
        <source>混合: 一个文件; 分开: 每路输入一个文件; 两者: 混合的文件和每路输入的文件</source>
        <translation>Mix: one file; Separate: one file per input; Both: the mixed file and one file per input</translation>
    </message>
    <message>
        <source>轨道:</source>
        <translation>Tracks:</translation>
    </message>
    <message>
        <source>从麦克风中去除电脑声音</source>
        <translation>Remove computer sound from the microphone</translation>
    </message>
    <message>
        <source>电脑播放的声音 (第二输入) 从第一输入中去除, 如扬声器传进麦克风的回声</source>
        <translation>What the computer plays (the second input) is removed from the first input, such as the speakers&apos; echo in the microphone</translation>
    </message>
    <message>
        <source>找不到默认输出的监听源, 请在&quot;第二输入&quot;框中选择</source>
        <translation>The default output&apos;s monitor was not found; please choose in the &quot;Second input&quot; box</translation>
    </message>
    <message>
        <source>上次的第二输入 &quot;%1&quot; 已不在, 请在&quot;第二输入&quot;框中另选一个</source>
        <translation>The second input used last time, &quot;%1&quot;, is gone; please choose another in the &quot;Second input&quot; box</translation>
    </message>
    <message>
        <source>回声延迟 %1 ms</source>
        <translation>echo delay %1 ms</translation>
    </message>
</context>
<context>
    <name>SecondInputFinder</name>
    <message>
        <source>未知的轨道 &quot;%1&quot;, 可用: %2</source>
        <translation>Unknown tracks &quot;%1&quot;, available: %2</translation>
    </message>
</context>
<context>
    <name>SettingChooserDialog</name>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>格式:</source>
        <translation>Format:</translation>
    </message>
</context>
<context>
    <name>ShellServices</name>
    <message>
        <source>没有程序能打开帮助页, 请手动打开:
%1</source>
        <translation>No program here opens the help page; open it yourself:
%1</translation>
    </message>
    <message>
        <source>没有程序能打开录音文件夹, 请手动打开:
%1</source>
        <translation>No program here opens the recordings folder; open it yourself:
%1</translation>
    </message>
</context>
<context>
    <name>StatusTexts</name>
    <message>
        <source>文件大小: %1</source>
        <translation>File size: %1</translation>
    </message>
    <message>
        <source>长度: %1</source>
        <translation>Length: %1</translation>
    </message>
    <message>
        <source>长度: %1 (已暂停)</source>
        <translation>Length: %1 (paused)</translation>
    </message>
    <message>
        <source>等待声音…</source>
        <translation>Waiting for sound…</translation>
    </message>
    <message>
        <source>第 %1 段</source>
        <translation>Take %1</translation>
    </message>
    <message>
        <source>输入丢失: %1</source>
        <translation>Input lost: %1</translation>
    </message>
</context>
<context>
    <name>TakeFiles</name>
    <message>
        <source>Write error (no disk space left?)!</source>
        <translation>Write error (no disk space left?)!</translation>
    </message>
    <message>
        <source>编码转换失败, 录音已停止!</source>
        <translation>Encoding failed, the recording has stopped!</translation>
    </message>
    <message>
        <source>文件已达到 WAV 格式的 4 GB 上限, 录音已停止!</source>
        <translation>The file has reached the WAV format&apos;s 4 GB limit, the recording has stopped!</translation>
    </message>
    <message>
        <source>编码器出错 (代码 %1), 录音已停止!</source>
        <translation>Encoder error (code %1), the recording has stopped!</translation>
    </message>
    <message>
        <source>录音未能开始</source>
        <translation>The recording did not start</translation>
    </message>
    <message>
        <source>文件 %1 已有内容, 不会覆盖!</source>
        <translation>The file %1 already holds data and will not be overwritten!</translation>
    </message>
    <message>
        <source>无法初始化编码器!</source>
        <translation>Cannot initialize the encoder!</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>文件 %1 已存在, 要替换它吗?</source>
        <translation>The file %1 already exists. Replace it?</translation>
    </message>
    <message>
        <source>无法写入设置文件 %1 !</source>
        <translation>Cannot write the settings file %1!</translation>
    </message>
    <message>
        <source>磁盘空间即将用完, 录音已停止!</source>
        <translation>The disk is almost full, the recording has stopped!</translation>
    </message>
    <message>
        <source>文件已满, 无法创建下一个文件, 录音已停止!</source>
        <translation>The file is full and the next file cannot be created, the recording has stopped!</translation>
    </message>
    <message>
        <source>无法写入文件的标记和标签: %1</source>
        <translation>Cannot write the markers and tags of the file %1</translation>
    </message>
    <message>
        <source>无法测量文件的响度: %1</source>
        <translation>Cannot measure the loudness of the file: %1</translation>
    </message>
    <message>
        <source>录音超过单个文件的大小上限, 已分别保存在以下文件中:</source>
        <translation>The recording exceeded one file&apos;s size limit and was saved in these files:</translation>
    </message>
    <message>
        <source>续接上一个文件</source>
        <translation>Continued from the previous file</translation>
    </message>
    <message>
        <source>无法创建输出文件 %1 !</source>
        <translation>Cannot create the output file %1!</translation>
    </message>
</context>
<context>
    <name>TakeMarkers</name>
    <message>
        <source>标记 %1</source>
        <translation>Marker %1</translation>
    </message>
</context>
<context>
    <name>TakeReviewPanel</name>
    <message>
        <source>播放</source>
        <translation>Play</translation>
    </message>
    <message>
        <source>剪辑</source>
        <translation>Cut</translation>
    </message>
    <message>
        <source>拖动概览两端的手柄选出要保留的部分, 保存为新文件; 原文件不变</source>
        <translation>Drag the handles at the ends of the overview to choose the part to keep; it is saved as a new file, the original stays unchanged</translation>
    </message>
    <message>
        <source>无法播放: %1</source>
        <translation>Cannot play: %1</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>播放中断: %1</source>
        <translation>Playback stopped: %1</translation>
    </message>
    <message>
        <source>剪辑已保存: %1</source>
        <translation>Cut saved: %1</translation>
    </message>
    <message>
        <source>剪辑失败: %1</source>
        <translation>Cut failed: %1</translation>
    </message>
    <message>
        <source>剪辑已保存, 但标记和标签未能写入: %1 (%2)</source>
        <translation>Cut saved, but its markers and tags could not be written: %1 (%2)</translation>
    </message>
    <message>
        <source>标签…</source>
        <translation>Tags…</translation>
    </message>
    <message>
        <source>修改这次录音的标题、日期、软件和备注</source>
        <translation>Change the title, date, program and comment of this recording</translation>
    </message>
</context>
<context>
    <name>TakeTagsKeeper</name>
    <message>
        <source>无法修改文件的标签: %1</source>
        <translation>Cannot change the tags of the file: %1</translation>
    </message>
</context>
<context>
    <name>TerminalMessages</name>
    <message>
        <source>(没有窗口: 回答&quot;否&quot;)</source>
        <translation>(no window: answered &quot;No&quot;)</translation>
    </message>
</context>
<context>
    <name>TerminalRecorder</name>
    <message>
        <source>找不到设备 &quot;%1&quot;</source>
        <translation>Device &quot;%1&quot; not found</translation>
    </message>
    <message>
        <source>%1  %2  电平 %3 dB</source>
        <translation>%1  %2  level %3 dB</translation>
    </message>
    <message>
        <source>--%1 必须在 %2 到 %3 之间</source>
        <translation>--%1 must be between %2 and %3</translation>
    </message>
    <message>
        <source>录音开始之前已被中断</source>
        <translation>Interrupted before the recording started</translation>
    </message>
    <message>
        <source>正在完成文件, 还有 %1 秒的录音待写入…</source>
        <translation>Finishing the file, %1 s of the recording still to write…</translation>
    </message>
    <message>
        <source>没有可用的录音设备</source>
        <translation>No recording device is available</translation>
    </message>
    <message>
        <source>可用的设备 (--device 取名称或描述):</source>
        <translation>Devices (--device takes the name or the description):</translation>
    </message>
    <message>
        <source>录音文件: %1</source>
        <translation>Recording to: %1</translation>
    </message>
    <message>
        <source>长度 %1 秒, 大小 %2, 输入丢失 %3, 综合响度 %4 LUFS</source>
        <translation>Length %1 s, size %2, input lost %3, integrated loudness %4 LUFS</translation>
    </message>
</context>
<context>
    <name>TrayIcon</name>
    <message>
        <source>显示Tamblin</source>
        <translation>Show Tamblin</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>开始录音</source>
        <translation>Start Recording</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>定时/触发...</source>
        <translation>Schedule/Trigger...</translation>
    </message>
    <message>
        <source>添加标记</source>
        <translation>Add marker</translation>
    </message>
</context>
<context>
    <name>TrimHandle</name>
    <message>
        <source>%1 秒</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>剪辑起点</source>
        <translation>Cut start</translation>
    </message>
    <message>
        <source>剪辑终点</source>
        <translation>Cut end</translation>
    </message>
</context>
<context>
    <name>UserRuntimeFolder</name>
    <message>
        <source>%1 不是本用户专用的文件夹 (须为本用户所有、权限 0700 的真实文件夹, 不能是链接)</source>
        <translation>%1 is not a folder private to this user (it must be a real folder, not a link, owned by this user with mode 0700)</translation>
    </message>
</context>
<context>
    <name>WaveInRecorder</name>
    <message>
        <source>没有可用的音频服务器</source>
        <translation>No audio server available</translation>
    </message>
    <message>
        <source>录音设备不存在</source>
        <translation>The recording device does not exist</translation>
    </message>
    <message>
        <source>录音格式不受支持</source>
        <translation>The recording format is not supported</translation>
    </message>
    <message>
        <source>驱动错误 %1</source>
        <translation>Driver error %1</translation>
    </message>
    <message>
        <source>录音已在进行中</source>
        <translation>A recording is already running</translation>
    </message>
    <message>
        <source>缓冲区设置无效</source>
        <translation>Invalid buffer settings</translation>
    </message>
    <message>
        <source>取样率或声道数无效</source>
        <translation>Invalid sample rate or channel count</translation>
    </message>
</context>
<context>
    <name>frmFXOpts</name>
    <message>
        <source>回响</source>
        <translation>Echo</translation>
    </message>
    <message>
        <source>周相移动</source>
        <translation>Phase Shift</translation>
    </message>
    <message>
        <source>均衡器</source>
        <translation>Equalizer</translation>
    </message>
    <message>
        <source>放大器</source>
        <translation>Amplifier</translation>
    </message>
    <message>
        <source>特效设置</source>
        <translation>Effect Settings</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>长度 (毫秒):</source>
        <translation>Length (ms):</translation>
    </message>
    <message>
        <source>音效增强:</source>
        <translation>Effect strength:</translation>
    </message>
    <message>
        <source>Dry:</source>
        <translation>Dry:</translation>
    </message>
    <message>
        <source>Wet:</source>
        <translation>Wet:</translation>
    </message>
    <message>
        <source>回放:</source>
        <translation>Feedback:</translation>
    </message>
    <message>
        <source>扫描速度:</source>
        <translation>Sweep rate:</translation>
    </message>
    <message>
        <source>扫描范围:</source>
        <translation>Sweep range:</translation>
    </message>
    <message>
        <source>频率:</source>
        <translation>Frequency:</translation>
    </message>
    <message>
        <source>增强:</source>
        <translation>Gain:</translation>
    </message>
    <message>
        <source> 倍频程</source>
        <translation> octaves</translation>
    </message>
    <message>
        <source>均衡器 %1</source>
        <translation>Equalizer %1</translation>
    </message>
</context>
<context>
    <name>frmSchedule</name>
    <message>
        <source>定时/触发</source>
        <translation>Schedule/Trigger</translation>
    </message>
    <message>
        <source>定时</source>
        <translation>Schedule</translation>
    </message>
    <message>
        <source>立即开始</source>
        <translation>Now</translation>
    </message>
    <message>
        <source>在此时间开始:</source>
        <translation>At this time:</translation>
    </message>
    <message>
        <source>延迟后开始:</source>
        <translation>After a delay of:</translation>
    </message>
    <message>
        <source>手动停止</source>
        <translation>By hand</translation>
    </message>
    <message>
        <source>录音时长达到:</source>
        <translation>After recording for:</translation>
    </message>
    <message>
        <source>在此时间停止:</source>
        <translation>At this time:</translation>
    </message>
    <message>
        <source>文件大小达到:</source>
        <translation>When the file reaches:</translation>
    </message>
    <message>
        <source>开始录音:</source>
        <translation>Start:</translation>
    </message>
    <message>
        <source>停止录音:</source>
        <translation>Stop:</translation>
    </message>
    <message>
        <source>声音触发</source>
        <translation>Sound activation</translation>
    </message>
    <message>
        <source>阈值 (dBFS):</source>
        <translation>Threshold (dBFS):</translation>
    </message>
    <message>
        <source>持续 (毫秒):</source>
        <translation>Hold (ms):</translation>
    </message>
    <message>
        <source>预录 (秒):</source>
        <translation>Pre-roll (s):</translation>
    </message>
    <message>
        <source>静音等待 (秒):</source>
        <translation>Hang (s):</translation>
    </message>
    <message>
        <source>静音之后:</source>
        <translation>After silence:</translation>
    </message>
    <message>
        <source>暂停录音</source>
        <translation>Pause the take</translation>
    </message>
    <message>
        <source>开始新文件</source>
        <translation>Start a new file</translation>
    </message>
    <message>
        <source>分割</source>
        <translation>Split</translation>
    </message>
    <message>
        <source>每隔</source>
        <translation>Every</translation>
    </message>
    <message>
        <source>分钟分割文件</source>
        <translation>minutes, split the file</translation>
    </message>
    <message>
        <source>取消定时</source>
        <translation>Cancel Schedule</translation>
    </message>
    <message>
        <source>停止时间必须晚于开始时间, 否则不会录到任何声音.</source>
        <translation>The stop time must be after the start time, or nothing would be recorded.</translation>
    </message>
    <message>
        <source>分割间隔 (分钟)</source>
        <translation>Split interval (minutes)</translation>
    </message>
    <message>
        <source>开始时间</source>
        <translation>Start time</translation>
    </message>
    <message>
        <source>开始前延迟</source>
        <translation>Delay before the start</translation>
    </message>
    <message>
        <source>录音时长</source>
        <translation>Recording length</translation>
    </message>
    <message>
        <source>停止时间</source>
        <translation>Stop time</translation>
    </message>
    <message>
        <source>文件大小上限</source>
        <translation>File size limit</translation>
    </message>
    <message>
        <source>听哪路输入:</source>
        <translation>Listens to:</translation>
    </message>
    <message>
        <source>第一输入</source>
        <translation>First input</translation>
    </message>
    <message>
        <source>任一输入</source>
        <translation>Either input</translation>
    </message>
    <message>
        <source>录两路输入时, 声音触发只听第一输入, 或听任一输入</source>
        <translation>With two inputs, sound activation listens to the first input only, or to either</translation>
    </message>
</context>
<context>
    <name>frmTakeTags</name>
    <message>
        <source>标题:</source>
        <translation>Title:</translation>
    </message>
    <message>
        <source>日期</source>
        <translation>Date</translation>
    </message>
    <message>
        <source>日期:</source>
        <translation>Date:</translation>
    </message>
    <message>
        <source>录音开始时填入</source>
        <translation>Filled in when recording starts</translation>
    </message>
    <message>
        <source>软件:</source>
        <translation>Program:</translation>
    </message>
    <message>
        <source>备注:</source>
        <translation>Comment:</translation>
    </message>
    <message>
        <source>下次录音的标签</source>
        <translation>Tags of the next recordings</translation>
    </message>
    <message>
        <source>文件名</source>
        <translation>File name</translation>
    </message>
    <message>
        <source>标签: %1</source>
        <translation>Tags: %1</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Tamblin 已在运行, 但无法显示它的窗口!</source>
        <translation>Tamblin is already running, but its window cannot be shown!</translation>
    </message>
    <message>
        <source>无法创建锁文件 %1 !</source>
        <translation>Cannot create the lock file %1!</translation>
    </message>
    <message>
        <source>Tamblin 已在此文件夹运行</source>
        <translation>Tamblin is already running for this folder</translation>
    </message>
    <message>
        <source>等待定时录音</source>
        <translation>Waiting for a scheduled recording</translation>
    </message>
    <message>
        <source>此文件夹中正在进行终端录音</source>
        <translation>A terminal recording is running in this folder</translation>
    </message>
</context>
</TS>
