<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>Bundle</name>
    <message>
        <source>it is not there</source>
        <translation>它不存在</translation>
    </message>
    <message>
        <source>cannot read %1: %2</source>
        <translation>无法读取 %1: %2</translation>
    </message>
    <message>
        <source>cannot write it: %1</source>
        <translation>无法写入它: %1</translation>
    </message>
    <message>
        <source>%1 is larger than an archive holds</source>
        <translation>%1 太大，归档文件容纳不下</translation>
    </message>
    <message>
        <source>%1 changed while it was packed</source>
        <translation>%1 在打包时被改动了</translation>
    </message>
    <message>
        <source>cannot make it private: %1</source>
        <translation>无法将它设为仅本用户可用: %1</translation>
    </message>
    <message>
        <source>cannot make it: %1</source>
        <translation>无法创建它: %1</translation>
    </message>
    <message>
        <source>cannot look at it: %1</source>
        <translation>无法查看它: %1</translation>
    </message>
    <message>
        <source>it is there and is not a folder</source>
        <translation>它已存在，但不是目录</translation>
    </message>
    <message>
        <source>it belongs to another user (uid %1)</source>
        <translation>它属于另一个用户 (uid %1)</translation>
    </message>
    <message>
        <source>it is open to other users (mode %1): make it 0700 or name another</source>
        <translation>其他用户也能访问它（权限 %1）: 请把它设为 0700，或指定另一个目录</translation>
    </message>
    <message>
        <source>its name is longer than the 99 bytes an archive holds</source>
        <translation>它的名称超过了归档文件能容纳的 99 字节</translation>
    </message>
    <message>
        <source>%1: the name is longer than the 100 bytes an archive holds</source>
        <translation>%1: 名称超过了归档文件能容纳的 100 字节</translation>
    </message>
    <message>
        <source>%1 is there already</source>
        <translation>%1 已存在</translation>
    </message>
</context>
<context>
    <name>Call</name>
    <message>
        <source>outside any call</source>
        <translation>不在任何调用中</translation>
    </message>
    <message>
        <source>not called</source>
        <translation>未调用</translation>
    </message>
    <message>
        <source>stopped by the operator</source>
        <translation>已被操作员停止</translation>
    </message>
    <message>
        <source>did not return</source>
        <translation>未返回</translation>
    </message>
    <message>
        <source>failed with %1</source>
        <translation>失败，返回值 %1</translation>
    </message>
    <message>
        <source>broke the contract</source>
        <translation>违反接口约定</translation>
    </message>
    <message>
        <source>differs</source>
        <translation>与预期不符</translation>
    </message>
    <message>
        <source>implausible</source>
        <translation>不可信</translation>
    </message>
    <message>
        <source>ok</source>
        <translation>成功</translation>
    </message>
    <message>
        <source>message:</source>
        <translation>消息:</translation>
    </message>
    <message>
        <source>standard output:</source>
        <translation>标准输出:</translation>
    </message>
    <message>
        <source>standard error:</source>
        <translation>标准错误:</translation>
    </message>
    <message>
        <source>contract:</source>
        <translation>违反约定:</translation>
    </message>
    <message>
        <source>differs:</source>
        <translation>不符:</translation>
    </message>
    <message>
        <source>implausible:</source>
        <translation>不可信:</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source> or </source>
        <translation> 或 </translation>
    </message>
    <message>
        <source>--%1 must name a path, in UTF-8</source>
        <translation>--%1 必须指定一个路径，路径须为 UTF-8</translation>
    </message>
    <message>
        <source>--%1 is given more than once</source>
        <translation>--%1 给出了不止一次</translation>
    </message>
    <message>
        <source>--device must be 21 or 19, not &quot;%1&quot;</source>
        <translation>--device 必须是 21 或 19，而不是 &quot;%1&quot;</translation>
    </message>
    <message>
        <source>--region must be one of 3500 to 3509, not &quot;%1&quot;</source>
        <translation>--region 必须是 3500 到 3509 之一，而不是 &quot;%1&quot;</translation>
    </message>
    <message>
        <source>--seconds must be a whole number from %1 to %2, not &quot;%3&quot;</source>
        <translation>--seconds 必须是 %1 到 %2 之间的整数，而不是 &quot;%3&quot;</translation>
    </message>
    <message>
        <source>--repeat must be a whole number of at least 1, not &quot;%1&quot;</source>
        <translation>--repeat 必须是不小于 1 的整数，而不是 &quot;%1&quot;</translation>
    </message>
    <message>
        <source>--duration must be a time from 1s to 365d such as 90s, 30m, 8h or 1h30m, not &quot;%1&quot;</source>
        <translation>--duration 必须是 1s 到 365d 之间的时长，如 90s、30m、8h 或 1h30m，而不是 &quot;%1&quot;</translation>
    </message>
    <message>
        <source>--pause must be a whole number of milliseconds, not &quot;%1&quot;</source>
        <translation>--pause 必须是整数毫秒数，而不是 &quot;%1&quot;</translation>
    </message>
    <message>
        <source>--timeout must be a whole number of seconds from 0 to %1, not &quot;%2&quot;</source>
        <translation>--timeout 必须是 0 到 %1 之间的整数秒数，而不是 &quot;%2&quot;</translation>
    </message>
    <message>
        <source>--library names no file: &quot;%1&quot;</source>
        <translation>--library 指定的不是文件: &quot;%1&quot;</translation>
    </message>
    <message>
        <source>--metrics must name a regular file in a directory that exists, in UTF-8: &quot;%1&quot;</source>
        <translation>--metrics 必须指定已存在目录中的普通文件，文件名须为 UTF-8: &quot;%1&quot;</translation>
    </message>
    <message>
        <source>expected answers %1 %2</source>
        <translation>预期答案 %1 %2</translation>
    </message>
    <message>
        <source>expected answers %1 hold no answer, so nothing would be compared</source>
        <translation>预期答案 %1 中没有任何答案，无从比较</translation>
    </message>
    <message>
        <source>no operation given; valid operations: %1</source>
        <translation>未指定操作；可用的操作: %1</translation>
    </message>
    <message>
        <source>unknown operation &quot;%1&quot;; valid operations: %2</source>
        <translation>未知操作 &quot;%1&quot;；可用的操作: %2</translation>
    </message>
    <message>
        <source>unknown operation &quot;%1&quot;; did you mean %2?</source>
        <translation>未知操作 &quot;%1&quot;；是否要输入 %2？</translation>
    </message>
    <message>
        <source>Try &apos;cardreader-cli --help&apos; for more information.</source>
        <translation>运行 &apos;cardreader-cli --help&apos; 查看更多信息。</translation>
    </message>
    <message>
        <source>the reader library</source>
        <translation>读卡器库</translation>
    </message>
    <message>
        <source>the history</source>
        <translation>历史记录</translation>
    </message>
    <message>
        <source>the record&apos;s folder</source>
        <translation>记录目录</translation>
    </message>
    <message>
        <source>the record&apos;s %1</source>
        <translation>记录中的 %1</translation>
    </message>
    <message>
        <source>the record&apos;s archive</source>
        <translation>记录的归档</translation>
    </message>
    <message>
        <source>%1 and %2 name the same file</source>
        <translation>%1 和 %2 指向同一个文件</translation>
    </message>
    <message>
        <source>%1 names the file of %2, which it would replace</source>
        <translation>%1 指向 %2 的文件，会将其替换</translation>
    </message>
    <message>
        <source>Drives the card-reader terminal&apos;s functions through libVrkReaderClient.so, one
library call per operation, and checks that the library keeps to its contract.
The calls are made in a process of their own, so that a library that crashes,
ends the process or never returns is named, and the run still ends with its
summary.
On a terminal, a burn-in (--repeat, --duration) shows on standard error the
rounds done, the time, calls per second, failures and findings so far and the
time left.
Exit status: 0 every call succeeded, 1 a call failed, 2 usage error,
3 the library broke its contract (a finding, a crash, an exit inside a call,
the watchdog, a missing function), 4 the output could not be written,
5 an answer differed from the expected one or cannot come from a genuine
card, 128+N stopped by signal N (130 Ctrl-C, 129 SIGHUP, 143 SIGTERM). The
worst news wins: 3, then 4, then 5, then a signal, then 1.</source>
        <translation>通过 libVrkReaderClient.so 驱动读卡终端的各项功能，每个操作调用一次库函数，
并检查库是否遵守其接口约定。调用在单独的进程中进行，因此崩溃、结束进程或永不
返回的库都会被指出，运行仍以汇总结束。
在终端上，老化测试（--repeat、--duration）在标准错误上显示已完成的轮数、用时、
每秒调用次数、到目前为止的失败和问题，以及剩余时间。
退出状态: 0 每次调用都成功，1 有调用失败，2 用法错误，3 库违反了接口约定（发现
问题、崩溃、在调用中退出、看门狗、缺少函数），4 无法写入输出，5 有答案与预期不
符或不可能来自真实的卡，128+N 被信号 N 停止（130 Ctrl-C、129 SIGHUP、143
SIGTERM）。最坏的消息优先: 3，然后 4，然后 5，然后信号，然后 1。</translation>
    </message>
    <message>
        <source>Displays this help.</source>
        <translation>显示本帮助。</translation>
    </message>
    <message>
        <source>Reader model&apos;s device type: 21 or 19.</source>
        <translation>读卡器型号的设备类型: 21 或 19。</translation>
    </message>
    <message>
        <source>Region code, 3500 to 3509.</source>
        <translation>地区编码，3500 到 3509。</translation>
    </message>
    <message>
        <source>Scanner wait and interval, in whole seconds.</source>
        <translation>扫码的等待时间和间隔，整数秒。</translation>
    </message>
    <message>
        <source>Do not open the device first.</source>
        <translation>不先打开设备。</translation>
    </message>
    <message>
        <source>One JSON object per call, on one line each.</source>
        <translation>每次调用输出一个 JSON 对象，各占一行。</translation>
    </message>
    <message>
        <source>Show the PIN pad&apos;s key text instead of ******.</source>
        <translation>显示密码键盘的按键内容，而不是 ******。</translation>
    </message>
    <message>
        <source>Run the operations n times over (burn-in). A summary per operation closes the run: calls, succeeded, failed, contract (calls that broke it), min / median / p95 / p99 / max ms, the calling process&apos;s memory and open descriptors at start and end, and when the run started and ended.</source>
        <translation>将各操作重复运行 n 轮（老化测试）。运行以每个操作的
汇总结束: 调用、成功、失败、违约（违反接口约定的调用）
次数，最小 / 中位 / p95 / p99 / 最大毫秒数，调用进
程开始和结束时的内存和打开的描述符，以及运行开始和结
束的时间。</translation>
    </message>
    <message>
        <source>Run the operations over and over until this time is up (burn-in), or until --repeat&apos;s rounds are done if that comes first: 90s, 30m, 8h, 2d, or several as 1h30m; a plain number is seconds. No call starts once it is up.</source>
        <translation>反复运行各操作，直到这段时间用完（老化测试），或
--repeat 的轮数先完成为止: 90s、30m、8h、2d，或组合
如 1h30m；纯数字表示秒。时间用完后不再开始新的调用。</translation>
    </message>
    <message>
        <source>Wait ms milliseconds between rounds.</source>
        <translation>每轮之间等待 ms 毫秒。</translation>
    </message>
    <message>
        <source>Watchdog: a call that has not returned after this many seconds is stopped and named; 0 turns it off. Default: the call&apos;s own wait plus 30 s, or 60 s for calls given none.</source>
        <translation>看门狗: 调用过了这么多秒仍未返回，就将其停止并指出；
0 表示关闭。默认为调用自身的等待时间加 30 s，没有等
待时间的调用为 60 s。</translation>
    </message>
    <message>
        <source>Check this library file instead of the one the program finds.</source>
        <translation>检查这个库文件，而不是程序自己找到的那个。</translation>
    </message>
    <message>
        <source>Compare every answer with the expected ones in this file, written as the simulated reader&apos;s scripts are (a recording serves as it is): each line answers the next call of its function, its last line every later one. The result, the values and the int output are compared.</source>
        <translation>将每个答案与这个文件中的预期答案比较，文件格式与模拟
读卡器的脚本相同（录制的文件可直接使用）: 每行回答其
函数的下一次调用，最后一行回答之后的所有调用。比较返
回值、各个值和整数输出。</translation>
    </message>
    <message>
        <source>Do not check that answers could come from a genuine card (identity card check characters and dates, bank card Luhn digits, validity periods).</source>
        <translation>不检查答案能否来自真实的卡（身份证校验码和日期、银行
卡 Luhn 校验位、有效期）。</translation>
    </message>
    <message>
        <source>Write a JUnit XML report of the run to this file at its end, for CI servers.</source>
        <translation>运行结束时把 JUnit XML 报告写入这个文件，供 CI 服务
器使用。</translation>
    </message>
    <message>
        <source>Write a self-contained HTML report of the run to this file at its end, for people.</source>
        <translation>运行结束时把独立的 HTML 报告写入这个文件，供人阅读。</translation>
    </message>
    <message>
        <source>Write every answer of the run to this file, in the script format that --expect reads (the PIN as ******): the known-good set of a terminal, when every call succeeded and nothing was found wrong.</source>
        <translation>把本次运行的每个答案以 --expect 读取的脚本格式写入这
个文件（密码写作 ******）: 每次调用都成功且未发现任
何问题时，它就是该终端的已知良好答案集。</translation>
    </message>
    <message>
        <source>Write the run&apos;s figures in Prometheus&apos;s text format to this file after every round and at the end, replacing it whole each time.</source>
        <translation>每轮之后和运行结束时，把运行的数据以 Prometheus 的文
本格式写入这个文件，每次整体替换。</translation>
    </message>
    <message>
        <source> Did you mean %1?</source>
        <translation> 是否要输入 %1？</translation>
    </message>
    <message>
        <source>plan %1 %2</source>
        <translation>检测计划 %1 %2</translation>
    </message>
    <message>
        <source>the plan is for device type %1, not %2</source>
        <translation>检测计划是针对设备类型 %1 的，而不是 %2</translation>
    </message>
    <message>
        <source>the plan is for region %1, not %2</source>
        <translation>检测计划是针对地区 %1 的，而不是 %2</translation>
    </message>
    <message>
        <source>commission asks the technician before each step and needs a terminal on standard input; --yes runs every step unprompted</source>
        <translation>commission 在每一步之前都要询问技术员，标准输入必须是终端；加 --yes 则不询问，直接运行每一步</translation>
    </message>
    <message>
        <source>--resume names no session: %1 holds no session.json</source>
        <translation>--resume 没有指向任何检测进度: %1 中没有 session.json</translation>
    </message>
    <message>
        <source>--resume goes on with the session&apos;s own choices; --%1 cannot change them</source>
        <translation>--resume 沿用这次检测原来的设置；--%1 不能更改它们</translation>
    </message>
    <message>
        <source>%1 takes no other operation</source>
        <translation>%1 不能与其他操作一起使用</translation>
    </message>
    <message>
        <source>--resume goes on with a commissioning; it takes no operation</source>
        <translation>--resume 用于继续一次检测，不能指定操作</translation>
    </message>
    <message>
        <source>commission: follow this plan instead of the reader model&apos;s default (&quot;cardreader-cli plan&quot; prints the default, to start from).</source>
        <translation>commission: 按这个检测计划进行，而不是读卡器型号的
默认计划（&quot;cardreader-cli plan&quot; 可打印默认计划，
可在它的基础上修改）。</translation>
    </message>
    <message>
        <source>commission: run every step unprompted, for fleets and scripts.</source>
        <translation>commission: 不询问，直接运行每一步，供批量检测和
脚本使用。</translation>
    </message>
    <message>
        <source>Go on with the commissioning kept in this folder, at its next step.</source>
        <translation>继续这个目录中保存的检测，从它的下一步开始。</translation>
    </message>
    <message>
        <source>Who runs the check, named in every report and the history.</source>
        <translation>进行检查的人员，会写入每份报告和历史记录。</translation>
    </message>
    <message>
        <source>The work order the check is made for, named in every report and the history.</source>
        <translation>本次检查所属的工单，会写入每份报告和历史记录。</translation>
    </message>
    <message>
        <source>Keep the run&apos;s whole record in this folder: its output, JSON lines, JUnit and HTML reports, the expected answers and plan, the terminal&apos;s identity and a manifest that sha256sum -c verifies. A commissioning keeps one by default.</source>
        <translation>把本次运行的全部记录保存在这个目录中: 输出、
JSON 行、JUnit 和 HTML 报告、预期答案和检测计划、
终端的身份信息，以及可用 sha256sum -c 校验的清单。
检测默认会保存记录。</translation>
    </message>
    <message>
        <source>Pack the bundle as one .tar.gz beside its folder.</source>
        <translation>把记录打包成一个 .tar.gz 文件，放在其目录旁边。</translation>
    </message>
    <message>
        <source>Log the run&apos;s verdict in this file instead of the terminal&apos;s history.</source>
        <translation>把本次运行的结论记入这个文件，而不是终端的历史记录。</translation>
    </message>
    <message>
        <source>One or more of: %1. &quot;library&quot; makes no call: it reports the library file that was loaded. &quot;commission&quot; walks a technician through the terminal, step by step; &quot;history&quot; lists the terminal&apos;s past verdicts, newest first; &quot;plan&quot; prints a commissioning plan.</source>
        <translation>以下操作中的一个或多个:
%1。
&quot;library&quot; 不调用任何函数，而是报告所加载的库文件。
&quot;commission&quot; 带领技术员逐步检测终端；&quot;history&quot; 列出
终端以往的结论，最新的在前；&quot;plan&quot; 打印检测计划。</translation>
    </message>
</context>
<context>
    <name>ExitStatus</name>
    <message>
        <source>every call succeeded</source>
        <translation>所有调用都成功</translation>
    </message>
    <message>
        <source>a call failed</source>
        <translation>有调用失败</translation>
    </message>
    <message>
        <source>usage error</source>
        <translation>用法错误</translation>
    </message>
    <message>
        <source>the library broke its contract</source>
        <translation>库违反了接口约定</translation>
    </message>
    <message>
        <source>output or a report could not be written</source>
        <translation>输出或报告无法写入</translation>
    </message>
    <message>
        <source>an answer differed from the expected one or cannot come from a genuine card</source>
        <translation>有答案与预期不符，或不可能来自真实的卡片</translation>
    </message>
</context>
<context>
    <name>Finding</name>
    <message>
        <source>%1 wrote %2 bytes to standard output</source>
        <translation>%1 向标准输出写入了 %2 字节</translation>
    </message>
    <message>
        <source>%1 wrote %2 bytes to standard output %3</source>
        <translation>%1 %3向标准输出写入了 %2 字节</translation>
    </message>
    <message>
        <source>%1 closed or replaced the calling process&apos;s descriptors</source>
        <translation>%1 关闭或替换了调用进程的描述符</translation>
    </message>
    <message>
        <source>%1 closed or replaced the calling process&apos;s descriptors %2</source>
        <translation>%1 %2关闭或替换了调用进程的描述符</translation>
    </message>
    <message>
        <source>%1 closed or replaced the calling process&apos;s standard output</source>
        <translation>%1 关闭或替换了调用进程的标准输出</translation>
    </message>
    <message>
        <source>%1 lowered the calling process&apos;s file size limit (RLIMIT_FSIZE)</source>
        <translation>%1 降低了调用进程的文件大小上限 (RLIMIT_FSIZE)</translation>
    </message>
    <message>
        <source>%1 forked the calling process</source>
        <translation>%1 复制 (fork) 了调用进程</translation>
    </message>
    <message>
        <source>%1 forked the calling process %2</source>
        <translation>%1 %2复制 (fork) 了调用进程</translation>
    </message>
    <message>
        <source>%1 replaced the handler of segmentation faults (SIGSEGV)</source>
        <translation>%1 替换了段错误 (SIGSEGV) 的处理函数</translation>
    </message>
    <message>
        <source>%1 replaced the handler of segmentation faults (SIGSEGV) %2</source>
        <translation>%1 %2替换了段错误 (SIGSEGV) 的处理函数</translation>
    </message>
    <message>
        <source>%1, or a call before it, replaced the handler of segmentation faults (SIGSEGV) by the bare system call</source>
        <translation>%1 或它之前的某次调用，直接用系统调用替换了段错误 (SIGSEGV) 的处理函数</translation>
    </message>
    <message>
        <source>%1 is missing from the library</source>
        <translation>库中缺少 %1</translation>
    </message>
    <message>
        <source>%1 wrote past the end of its %2-byte %3 buffer</source>
        <translation>%1 写入越过了它的 %3 缓冲区（%2 字节）的末尾</translation>
    </message>
    <message>
        <source>%1 wrote past the end of its int output</source>
        <translation>%1 写入越过了它的 int 输出的末尾</translation>
    </message>
    <message>
        <source>%1 wrote before the start of its %2-byte %3 buffer</source>
        <translation>%1 写入到了它的 %3 缓冲区（%2 字节）的开头之前</translation>
    </message>
    <message>
        <source>%1 wrote before the start of its int output</source>
        <translation>%1 写入到了它的 int 输出的开头之前</translation>
    </message>
    <message>
        <source>%1 left no NUL in its %2-byte %3 buffer</source>
        <translation>%1 在它的 %3 缓冲区（%2 字节）中没有留下结尾的 NUL</translation>
    </message>
    <message>
        <source>%1 wrote text that is not UTF-8 into its %2-byte %3 buffer</source>
        <translation>%1 向它的 %3 缓冲区（%2 字节）写入了不是 UTF-8 的文本</translation>
    </message>
    <message>
        <source>%1 made cardreader-cli its tracer (ptrace)</source>
        <translation>%1 让 cardreader-cli 成为了它的跟踪者 (ptrace)</translation>
    </message>
    <message>
        <source>%1 sent %2 to cardreader-cli</source>
        <translation>%1 向 cardreader-cli 发送了 %2</translation>
    </message>
    <message>
        <source>the library file was changed during the run; its SHA-256 is not given</source>
        <translation>运行期间库文件被改动了，因此不给出它的 SHA-256</translation>
    </message>
    <message>
        <source>%1 did not return within %2 s</source>
        <translation>%1 在 %2 秒内没有返回</translation>
    </message>
    <message>
        <source>%1 ended the process with exit status %2</source>
        <translation>%1 结束了进程，退出状态 %2</translation>
    </message>
    <message>
        <source>%1 crashed: %2</source>
        <translation>%1 崩溃: %2</translation>
    </message>
    <message>
        <source>the library cannot be loaded: %1</source>
        <translation>无法加载库: %1</translation>
    </message>
    <message>
        <source>cannot load the reader library %1: %2</source>
        <translation>无法加载读卡器库 %1: %2</translation>
    </message>
    <message>
        <source>the loader finds it at an address of no file</source>
        <translation>加载器找到的地址不属于任何文件</translation>
    </message>
    <message>
        <source>the loader finds it in the library, whose symbol table has it as no function</source>
        <translation>加载器在该库中找到它，但库的符号表中它不是函数</translation>
    </message>
    <message>
        <source>the loader finds it in %1</source>
        <translation>加载器在 %1 中找到它</translation>
    </message>
    <message>
        <source>failed with %1: %2</source>
        <translation>失败，返回值 %1: %2</translation>
    </message>
    <message>
        <source>result: expected %1, got %2</source>
        <translation>返回值: 预期 %1，实际 %2</translation>
    </message>
    <message>
        <source>%1: expected %2, got %3 (code points: expected %4, got %5)</source>
        <translation>%1: 预期 %2，实际 %3（码位: 预期 %4，实际 %5）</translation>
    </message>
    <message>
        <source>%1: expected %2, got %3</source>
        <translation>%1: 预期 %2，实际 %3</translation>
    </message>
    <message>
        <source>%1: differs from the expected text (--show-pin shows both)</source>
        <translation>%1: 与预期文本不符（加 --show-pin 可显示两者）</translation>
    </message>
    <message>
        <source>date of birth %1: not a real date</source>
        <translation>出生日期 %1: 不是真实存在的日期</translation>
    </message>
    <message>
        <source>date of birth %1: does not match the birth date %2 in the identity card number</source>
        <translation>出生日期 %1: 与身份证号中的出生日期 %2 不一致</translation>
    </message>
    <message>
        <source>identity card number %1: region code 000000 names no region</source>
        <translation>身份证号 %1: 地区码 000000 不对应任何地区</translation>
    </message>
    <message>
        <source>identity card number %1: check character should be %2</source>
        <translation>身份证号 %1: 校验码应为 %2</translation>
    </message>
    <message>
        <source>identity card number %1: birth date %2 is not a real date</source>
        <translation>身份证号 %1: 出生日期 %2 不是真实存在的日期</translation>
    </message>
    <message>
        <source>identity card number %1: birth date %2 is after today %3</source>
        <translation>身份证号 %1: 出生日期 %2 晚于今天 %3</translation>
    </message>
    <message>
        <source>identity card number %1: birth date %2 is before 1900</source>
        <translation>身份证号 %1: 出生日期 %2 早于 1900 年</translation>
    </message>
    <message>
        <source>sex %1: the identity card number&apos;s 17th digit %2 is even (女)</source>
        <translation>性别 %1: 身份证号第 17 位 %2 是偶数（女）</translation>
    </message>
    <message>
        <source>sex %1: the identity card number&apos;s 17th digit %2 is odd (男)</source>
        <translation>性别 %1: 身份证号第 17 位 %2 是奇数（男）</translation>
    </message>
    <message>
        <source>validity period %1: start %2 is not a real date</source>
        <translation>有效期 %1: 起始日期 %2 不是真实存在的日期</translation>
    </message>
    <message>
        <source>validity period %1: end %2 is not a real date</source>
        <translation>有效期 %1: 截止日期 %2 不是真实存在的日期</translation>
    </message>
    <message>
        <source>validity period %1: starts %2, after its end %3</source>
        <translation>有效期 %1: 起始日期 %2 晚于截止日期 %3</translation>
    </message>
    <message>
        <source>card validity period %1: start %2 is not a real date</source>
        <translation>卡有效期 %1: 起始日期 %2 不是真实存在的日期</translation>
    </message>
    <message>
        <source>card validity period %1: end %2 is not a real date</source>
        <translation>卡有效期 %1: 截止日期 %2 不是真实存在的日期</translation>
    </message>
    <message>
        <source>card validity period %1: starts %2, after its end %3</source>
        <translation>卡有效期 %1: 起始日期 %2 晚于截止日期 %3</translation>
    </message>
    <message>
        <source>validity end date %1: not a real date</source>
        <translation>有效期截止日期 %1: 不是真实存在的日期</translation>
    </message>
    <message>
        <source>validity end date %1: does not match the end %2 of the validity period</source>
        <translation>有效期截止日期 %1: 与有效期的截止日期 %2 不一致</translation>
    </message>
    <message>
        <source>card number %1: is all zeros</source>
        <translation>卡号 %1: 全是 0</translation>
    </message>
    <message>
        <source>card number %1: fails the Luhn check</source>
        <translation>卡号 %1: 未通过 Luhn 校验</translation>
    </message>
    <message>
        <source>second track %1: card number is all zeros</source>
        <translation>二磁道 %1: 卡号全是 0</translation>
    </message>
    <message>
        <source>second track %1: card number fails the Luhn check</source>
        <translation>二磁道 %1: 卡号未通过 Luhn 校验</translation>
    </message>
    <message>
        <source>second track %1: expiry month %2 is not 01 to 12</source>
        <translation>二磁道 %1: 有效期月份 %2 不在 01 到 12 之间</translation>
    </message>
    <message>
        <source>%1 lacks %2</source>
        <translation>%1 缺少 %2</translation>
    </message>
    <message>
        <source>the library</source>
        <translation>库</translation>
    </message>
    <message>
        <source>the library, outside any call,</source>
        <translation>库（不在任何调用中）</translation>
    </message>
    <message>
        <source>at load</source>
        <translation>在加载时</translation>
    </message>
    <message>
        <source>after the last call</source>
        <translation>在最后一次调用之后</translation>
    </message>
    <message>
        <source>segmentation fault (SIGSEGV)</source>
        <translation>段错误 (SIGSEGV)</translation>
    </message>
    <message>
        <source>aborted (SIGABRT)</source>
        <translation>异常中止 (SIGABRT)</translation>
    </message>
    <message>
        <source>bus error (SIGBUS)</source>
        <translation>总线错误 (SIGBUS)</translation>
    </message>
    <message>
        <source>illegal instruction (SIGILL)</source>
        <translation>非法指令 (SIGILL)</translation>
    </message>
    <message>
        <source>arithmetic error (SIGFPE)</source>
        <translation>算术错误 (SIGFPE)</translation>
    </message>
    <message>
        <source>killed (SIGKILL)</source>
        <translation>被强制结束 (SIGKILL)</translation>
    </message>
</context>
<context>
    <name>History</name>
    <message>
        <source>cannot make %1: %2</source>
        <translation>无法创建 %1: %2</translation>
    </message>
    <message>
        <source>cannot open %1: %2</source>
        <translation>无法打开 %1: %2</translation>
    </message>
    <message>
        <source>%1: only part of the line was written</source>
        <translation>%1: 这一行只写入了一部分</translation>
    </message>
    <message>
        <source>cannot write %1: %2</source>
        <translation>无法写入 %1: %2</translation>
    </message>
    <message>
        <source>cannot read %1: %2</source>
        <translation>无法读取 %1: %2</translation>
    </message>
    <message>
        <source>line %1: damaged, not read as a verdict</source>
        <translation>第 %1 行: 已损坏，未作为结论读取</translation>
    </message>
    <message>
        <source>operator: %1</source>
        <translation>操作员: %1</translation>
    </message>
    <message>
        <source>work order: %1</source>
        <translation>工单: %1</translation>
    </message>
    <message>
        <source>bundle: %1</source>
        <translation>记录保存在: %1</translation>
    </message>
    <message>
        <source>, </source>
        <translation>，</translation>
    </message>
    <message>
        <source>%1 is not a regular file</source>
        <translation>%1 不是普通文件</translation>
    </message>
</context>
<context>
    <name>Library</name>
    <message>
        <source>library: %1</source>
        <translation>库文件: %1</translation>
    </message>
    <message>
        <source>found by:</source>
        <translation>查找方式:</translation>
    </message>
    <message>
        <source>  preloaded: %1 from %2 (LD_PRELOAD), which the window calls in its place</source>
        <translation>  预加载: %1，来自 %2 (LD_PRELOAD)，窗口程序调用的是它们</translation>
    </message>
    <message>
        <source>unusable:</source>
        <translation>无法使用:</translation>
    </message>
    <message>
        <source>  size: %1 bytes</source>
        <translation>  大小: %1 字节</translation>
    </message>
    <message>
        <source>build id:</source>
        <translation>构建 ID:</translation>
    </message>
    <message>
        <source>simulated reader:</source>
        <translation>模拟读卡器:</translation>
    </message>
    <message>
        <source>no</source>
        <translation>否</translation>
    </message>
    <message>
        <source>yes (%1)</source>
        <translation>是 (%1)</translation>
    </message>
    <message>
        <source>  functions: unknown (the file has no table of its symbols)</source>
        <translation>  函数: 未知（文件没有符号表）</translation>
    </message>
    <message>
        <source>  functions: %1 of %2</source>
        <translation>  函数: %2 个中有 %1 个</translation>
    </message>
    <message>
        <source>; missing %1</source>
        <translation>；缺少 %1</translation>
    </message>
</context>
<context>
    <name>Plan</name>
    <message>
        <source>Place the test social security card on the reader.</source>
        <translation>请将测试社保卡放在读卡器上。</translation>
    </message>
    <message>
        <source>Place the test identity card on the reader.</source>
        <translation>请将测试身份证放在读卡器上。</translation>
    </message>
    <message>
        <source>Insert the test bank card into the chip slot, chip first.</source>
        <translation>请将测试银行卡插入芯片卡槽，芯片一端先插入。</translation>
    </message>
    <message>
        <source>Swipe the test bank card through the stripe reader.</source>
        <translation>请在磁条刷卡槽中刷一下测试银行卡。</translation>
    </message>
    <message>
        <source>Swipe the test stripe card through the stripe reader.</source>
        <translation>请在磁条刷卡槽中刷一下测试磁条卡。</translation>
    </message>
    <message>
        <source>Show the test QR code to the scanner.</source>
        <translation>请将测试二维码对准扫码器。</translation>
    </message>
    <message>
        <source>Enter the test PIN on the PIN pad, then press its Enter key.</source>
        <translation>请在密码键盘上输入测试密码，然后按确认键（Enter）。</translation>
    </message>
    <message>
        <source>line %1: %2</source>
        <translation>第 %1 行: %2</translation>
    </message>
    <message>
        <source>is not UTF-8 text</source>
        <translation>不是 UTF-8 文本</translation>
    </message>
    <message>
        <source>unknown operation %1</source>
        <translation>未知操作 %1</translation>
    </message>
    <message>
        <source>the device type must be 21 or 19</source>
        <translation>设备类型必须是 21 或 19</translation>
    </message>
    <message>
        <source>the region must be one of 3500 to 3509</source>
        <translation>地区必须是 3500 到 3509 之一</translation>
    </message>
    <message>
        <source>expect names no file</source>
        <translation>expect 没有指定文件</translation>
    </message>
    <message>
        <source>unknown keyword %1; a line is step, not-fitted, device, region or expect</source>
        <translation>未知关键字 %1；每行的开头只能是 step、not-fitted、device、region 或 expect</translation>
    </message>
    <message>
        <source>unexpected %1 at the end</source>
        <translation>行尾多出了 %1</translation>
    </message>
    <message>
        <source>%1 is both a step and not fitted</source>
        <translation>%1 既是一个步骤，又标为本机型未配备 (not-fitted)</translation>
    </message>
    <message>
        <source>does not exist</source>
        <translation>不存在</translation>
    </message>
    <message>
        <source>is larger than %1 KiB</source>
        <translation>大于 %1 KiB</translation>
    </message>
    <message>
        <source>the prompt holds a control character</source>
        <translation>提示语中含有控制字符</translation>
    </message>
    <message>
        <source>has no step to run</source>
        <translation>没有要运行的步骤</translation>
    </message>
</context>
<context>
    <name>PrivateFile</name>
    <message>
        <source>cannot look at it: %1</source>
        <translation>无法查看它: %1</translation>
    </message>
    <message>
        <source>it is a directory</source>
        <translation>它是一个目录</translation>
    </message>
    <message>
        <source>it is not a regular file</source>
        <translation>它不是普通文件</translation>
    </message>
    <message>
        <source>cannot create a file in %1: %2</source>
        <translation>无法在 %1 中创建文件: %2</translation>
    </message>
    <message>
        <source>cannot write it: %1</source>
        <translation>无法写入它: %1</translation>
    </message>
    <message>
        <source>cannot replace it: %1</source>
        <translation>无法替换它: %1</translation>
    </message>
    <message>
        <source>it is no longer a regular file</source>
        <translation>它已不再是普通文件</translation>
    </message>
</context>
<context>
    <name>Progress</name>
    <message>
        <source>%1/%2 rounds</source>
        <translation>%1/%2 轮</translation>
    </message>
    <message>
        <source>%1 rounds</source>
        <translation>%1 轮</translation>
    </message>
    <message>
        <source>%1 calls/s</source>
        <translation>每秒 %1 次调用</translation>
    </message>
    <message>
        <source>%1 failed</source>
        <translation>失败 %1</translation>
    </message>
    <message>
        <source>%1 finding</source>
        <translation>问题 %1</translation>
    </message>
    <message>
        <source>%1 findings</source>
        <translation>问题 %1</translation>
    </message>
    <message>
        <source>ETA %1</source>
        <translation>剩余 %1</translation>
    </message>
    <message>
        <source>waiting for the reader: %1 s</source>
        <translation>正在等待读卡器: %1 秒</translation>
    </message>
</context>
<context>
    <name>QCommandLineParser</name>
    <message>
        <source>Usage: %1</source>
        <translation>用法: %1</translation>
    </message>
    <message>
        <source>[options]</source>
        <translation>[选项]</translation>
    </message>
    <message>
        <source>Options:</source>
        <translation>选项:</translation>
    </message>
    <message>
        <source>Arguments:</source>
        <translation>参数:</translation>
    </message>
    <message>
        <source>Displays version information.</source>
        <translation>显示版本信息。</translation>
    </message>
    <message>
        <source>Unknown option &apos;%1&apos;.</source>
        <translation>未知选项 &apos;%1&apos;。</translation>
    </message>
    <message>
        <source>Unknown options: %1.</source>
        <translation>未知选项: %1。</translation>
    </message>
    <message>
        <source>Missing value after &apos;%1&apos;.</source>
        <translation>&apos;%1&apos; 后面缺少值。</translation>
    </message>
    <message>
        <source>Unexpected value after &apos;%1&apos;.</source>
        <translation>&apos;%1&apos; 后面不应有值。</translation>
    </message>
</context>
<context>
    <name>Report</name>
    <message>
        <source>succeeded</source>
        <translation>成功</translation>
    </message>
    <message>
        <source>failed</source>
        <translation>失败</translation>
    </message>
    <message>
        <source>implausible</source>
        <translation>不可信</translation>
    </message>
    <message>
        <source>differs</source>
        <translation>不符</translation>
    </message>
    <message>
        <source>broke the contract</source>
        <translation>违反接口约定</translation>
    </message>
    <message>
        <source>stopped by %1</source>
        <translation>被 %1 停止</translation>
    </message>
    <message>
        <source>%1 rounds</source>
        <translation>%1 轮</translation>
    </message>
    <message>
        <source>, round %1 cut short</source>
        <translation>，第 %1 轮未完成</translation>
    </message>
    <message>
        <source>Exit status %1: %2</source>
        <translation>退出状态 %1: %2</translation>
    </message>
    <message>
        <source>Simulated reader.</source>
        <translation>模拟读卡器。</translation>
    </message>
    <message>
        <source>The answers came from the simulated reader (%1), not from a card reader: no terminal was checked.</source>
        <translation>这些答案来自模拟读卡器（%1），而不是真实的读卡器: 没有检查任何终端。</translation>
    </message>
    <message>
        <source>calls</source>
        <translation>次调用</translation>
    </message>
    <message>
        <source>Run</source>
        <translation>运行</translation>
    </message>
    <message>
        <source>Terminal</source>
        <translation>终端</translation>
    </message>
    <message>
        <source>Started</source>
        <translation>开始</translation>
    </message>
    <message>
        <source>Ended</source>
        <translation>结束</translation>
    </message>
    <message>
        <source>Elapsed</source>
        <translation>历时</translation>
    </message>
    <message>
        <source>, time up after %1</source>
        <translation>，%1 后时间已到</translation>
    </message>
    <message>
        <source>, stopped by %1</source>
        <translation>，被 %1 停止</translation>
    </message>
    <message>
        <source> during %1</source>
        <translation>，当时正在执行 %1</translation>
    </message>
    <message>
        <source>, ended early: %1</source>
        <translation>，提前结束: %1</translation>
    </message>
    <message>
        <source>Rounds</source>
        <translation>轮数</translation>
    </message>
    <message>
        <source>Device</source>
        <translation>设备类型</translation>
    </message>
    <message>
        <source>Region</source>
        <translation>地区</translation>
    </message>
    <message>
        <source>Expected answers</source>
        <translation>预期答案</translation>
    </message>
    <message>
        <source>none: answers not compared</source>
        <translation>无: 未比较答案</translation>
    </message>
    <message>
        <source>Their SHA-256</source>
        <translation>其 SHA-256</translation>
    </message>
    <message>
        <source>Not compared</source>
        <translation>未比较</translation>
    </message>
    <message>
        <source>none</source>
        <translation>无</translation>
    </message>
    <message>
        <source>Plan</source>
        <translation>检测计划</translation>
    </message>
    <message>
        <source>Its SHA-256</source>
        <translation>其 SHA-256</translation>
    </message>
    <message>
        <source>Operator</source>
        <translation>操作员</translation>
    </message>
    <message>
        <source>Work order</source>
        <translation>工单</translation>
    </message>
    <message>
        <source>Record kept in</source>
        <translation>记录保存在</translation>
    </message>
    <message>
        <source>Skipped</source>
        <translation>已跳过</translation>
    </message>
    <message>
        <source>Not fitted</source>
        <translation>本机型未配备</translation>
    </message>
    <message>
        <source>Comments</source>
        <translation>备注</translation>
    </message>
    <message>
        <source>Plausibility checks</source>
        <translation>可信性检查</translation>
    </message>
    <message>
        <source>on</source>
        <translation>开</translation>
    </message>
    <message>
        <source>off</source>
        <translation>关</translation>
    </message>
    <message>
        <source>Calling process</source>
        <translation>调用进程</translation>
    </message>
    <message>
        <source>at start %1&lt;br&gt;at end %2</source>
        <translation>开始时 %1&lt;br&gt;结束时 %2</translation>
    </message>
    <message>
        <source>Library</source>
        <translation>库</translation>
    </message>
    <message>
        <source>Path</source>
        <translation>路径</translation>
    </message>
    <message>
        <source>Unusable</source>
        <translation>无法使用</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>大小</translation>
    </message>
    <message>
        <source>%1 bytes</source>
        <translation>%1 字节</translation>
    </message>
    <message>
        <source>SHA-256</source>
        <translation>SHA-256</translation>
    </message>
    <message>
        <source>not taken</source>
        <translation>未计算</translation>
    </message>
    <message>
        <source>Build ID</source>
        <translation>构建 ID</translation>
    </message>
    <message>
        <source>SONAME</source>
        <translation>SONAME</translation>
    </message>
    <message>
        <source>Simulated reader</source>
        <translation>模拟读卡器</translation>
    </message>
    <message>
        <source>no</source>
        <translation>否</translation>
    </message>
    <message>
        <source>yes (%1)</source>
        <translation>是（%1）</translation>
    </message>
    <message>
        <source>Functions</source>
        <translation>函数</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>%2 个中的 %1 个</translation>
    </message>
    <message>
        <source>, missing %1</source>
        <translation>，缺少 %1</translation>
    </message>
    <message>
        <source>Operations</source>
        <translation>各项操作</translation>
    </message>
    <message>
        <source>No call was made.</source>
        <translation>没有进行任何调用。</translation>
    </message>
    <message>
        <source>Operation</source>
        <translation>操作</translation>
    </message>
    <message>
        <source>Function</source>
        <translation>函数</translation>
    </message>
    <message>
        <source>Outcomes</source>
        <translation>结果</translation>
    </message>
    <message>
        <source>Calls</source>
        <translation>调用</translation>
    </message>
    <message>
        <source>Succeeded</source>
        <translation>成功</translation>
    </message>
    <message>
        <source>Failed</source>
        <translation>失败</translation>
    </message>
    <message>
        <source>Differs</source>
        <translation>不符</translation>
    </message>
    <message>
        <source>Implausible</source>
        <translation>不可信</translation>
    </message>
    <message>
        <source>Contract</source>
        <translation>违约</translation>
    </message>
    <message>
        <source>Min ms</source>
        <translation>最小 ms</translation>
    </message>
    <message>
        <source>Median ms</source>
        <translation>中位 ms</translation>
    </message>
    <message>
        <source>p95 ms</source>
        <translation>p95 ms</translation>
    </message>
    <message>
        <source>p99 ms</source>
        <translation>p99 ms</translation>
    </message>
    <message>
        <source>Max ms</source>
        <translation>最大 ms</translation>
    </message>
    <message>
        <source>%1: %2 calls by duration, the most (%3) from %4 to %5; median %6, p99 %7</source>
        <translation>%1: %2 次调用按耗时分布，最多的（%3 次）在 %4 到 %5 之间；中位数 %6，p99 %7</translation>
    </message>
    <message>
        <source>%1 calls under %2</source>
        <translation>%1 次调用短于 %2</translation>
    </message>
    <message>
        <source>median</source>
        <translation>中位数</translation>
    </message>
    <message>
        <source>p99</source>
        <translation>p99</translation>
    </message>
    <message>
        <source>median %1 &amp;middot; p99 %2 &amp;middot; max %3</source>
        <translation>中位数 %1 &amp;middot; p99 %2 &amp;middot; 最大 %3</translation>
    </message>
    <message>
        <source>Latency</source>
        <translation>耗时</translation>
    </message>
    <message>
        <source>Calls by duration, on a doubling scale; dashed: median (black) and p99 (red).</source>
        <translation>按耗时统计的调用次数，刻度逐格翻倍；虚线: 中位数（黑）和 p99（红）。</translation>
    </message>
    <message>
        <source>Over time</source>
        <translation>随时间变化</translation>
    </message>
    <message>
        <source>Calls per %1</source>
        <translation>每 %1 的调用次数</translation>
    </message>
    <message>
        <source>Calls per %1 over %2, at most %3 in one; something went wrong in %4 of %5</source>
        <translation>%2 内每 %1 的调用次数，单格最多 %3 次；%5 格中有 %4 格出现问题</translation>
    </message>
    <message>
        <source>Call duration</source>
        <translation>调用耗时</translation>
    </message>
    <message>
        <source>The mean and the slowest call per %1 over %2, on a log scale from %3 to %4</source>
        <translation>%2 内每 %1 的平均耗时和最慢调用，对数刻度，从 %3 到 %4</translation>
    </message>
    <message>
        <source>mean</source>
        <translation>平均</translation>
    </message>
    <message>
        <source>slowest, on a log scale</source>
        <translation>最慢，对数刻度</translation>
    </message>
    <message>
        <source>What went wrong</source>
        <translation>出了什么问题</translation>
    </message>
    <message>
        <source>About the run as a whole</source>
        <translation>关于整个运行</translation>
    </message>
    <message>
        <source>Ended early: %1</source>
        <translation>提前结束: %1</translation>
    </message>
    <message>
        <source>Contract breaches</source>
        <translation>违反接口约定</translation>
    </message>
    <message>
        <source>Failed calls</source>
        <translation>失败的调用</translation>
    </message>
    <message>
        <source>Answers that differ from the expected ones</source>
        <translation>与预期不符的答案</translation>
    </message>
    <message>
        <source>Implausible answers</source>
        <translation>不可信的答案</translation>
    </message>
    <message>
        <source>round %1</source>
        <translation>第 %1 轮</translation>
    </message>
    <message>
        <source>at start</source>
        <translation>开始时</translation>
    </message>
    <message>
        <source>and %1 more</source>
        <translation>另有 %1 条</translation>
    </message>
    <message>
        <source>Nothing: every call succeeded and kept the contract.</source>
        <translation>没有: 每次调用都成功并遵守了接口约定。</translation>
    </message>
    <message>
        <source>en</source>
        <comment>the page&apos;s language, as HTML&apos;s lang attribute names it</comment>
        <translation>zh-CN</translation>
    </message>
    <message>
        <source>cardreader-cli on %1: %2</source>
        <translation>cardreader-cli 在 %1 上: %2</translation>
    </message>
    <message>
        <source>Written by cardreader-cli at the end of the run.</source>
        <translation>由 cardreader-cli 在运行结束时写出。</translation>
    </message>
</context>
<context>
    <name>Run</name>
    <message>
        <source>cannot load the reader library %1: %2</source>
        <translation>无法加载读卡器库 %1: %2</translation>
    </message>
    <message>
        <source>%1 lacks %2; the functions it has are still checked</source>
        <translation>%1 缺少 %2；它已有的函数仍会检查</translation>
    </message>
    <message>
        <source>cannot prepare the calls</source>
        <translation>无法准备调用</translation>
    </message>
    <message>
        <source>cannot write the report %1: %2</source>
        <translation>无法写入报告 %1: %2</translation>
    </message>
    <message>
        <source>cannot write the answers to %1: %2</source>
        <translation>无法把答案写入 %1: %2</translation>
    </message>
    <message>
        <source>cannot start the calling process</source>
        <translation>无法启动调用进程</translation>
    </message>
    <message>
        <source>cannot write the output: %1</source>
        <translation>无法写入输出: %1</translation>
    </message>
    <message>
        <source>cannot load the reader library %1</source>
        <translation>无法加载读卡器库: %1</translation>
    </message>
    <message>
        <source>%1; the run goes on</source>
        <translation>%1；运行继续</translation>
    </message>
    <message>
        <source>stopping after the current call; Ctrl-C again stops now</source>
        <translation>当前调用结束后停止；再按 Ctrl-C 立即停止</translation>
    </message>
    <message>
        <source>cannot write the metrics to %1: %2</source>
        <translation>无法把指标写入 %1: %2</translation>
    </message>
    <message>
        <source>cannot keep the record in %1: %2</source>
        <translation>无法在 %1 中保存记录: %2</translation>
    </message>
    <message>
        <source>%1 holds the record of another run; name a new folder</source>
        <translation>%1 中已有另一次运行的记录；请指定一个新目录</translation>
    </message>
    <message>
        <source>cannot add the verdict to the history %1: %2</source>
        <translation>无法把结论写入历史记录 %1: %2</translation>
    </message>
    <message>
        <source>cannot read the history %1: %2</source>
        <translation>无法读取历史记录 %1: %2</translation>
    </message>
    <message>
        <source>cannot write the bundle %1</source>
        <translation>无法写入记录目录 %1</translation>
    </message>
    <message>
        <source>No verdict is logged in %1 yet.</source>
        <translation>%1 中还没有记录任何结论。</translation>
    </message>
    <message>
        <source>--archive packs the run&apos;s bundle: name its folder with --bundle</source>
        <translation>--archive 用于打包本次运行的记录: 请用 --bundle 指定记录目录</translation>
    </message>
    <message>
        <source>cannot pack %1: %2</source>
        <translation>无法打包 %1: %2</translation>
    </message>
    <message>
        <source>another cardreader-cli keeps its record in %1</source>
        <translation>另一个 cardreader-cli 正在使用记录目录 %1</translation>
    </message>
</context>
<context>
    <name>Session</name>
    <message>
        <source>The library broke its contract: retrying cannot mend this. Keep the bundle and report it to the library&apos;s maker.</source>
        <translation>库违反了接口约定: 重试也无法解决。请保留记录目录，并报告给库的厂商。</translation>
    </message>
    <message>
        <source>The card was read, but not as the expected answers say. Is it the right test card? With the wrong one, present the right card and retry; with the right one, the terminal fails this step.</source>
        <translation>卡已读取，但与预期答案不符。用的是正确的测试卡吗？如果卡不对，请换上正确的卡后重试；如果卡没错，这台终端这一步未通过。</translation>
    </message>
    <message>
        <source>The answer cannot come from a genuine card. Retry once; if it stays, the reader or its library is at fault.</source>
        <translation>这个答案不可能来自真实的卡。请重试一次；如果仍然如此，就是读卡器或读卡器库有问题。</translation>
    </message>
    <message>
        <source>The reader read nothing: no card was found, it was not presented in time, or the device did not answer. Present the card as asked, then retry at once.</source>
        <translation>读卡器什么也没有读到: 没有找到卡、卡没有及时放好，或设备没有响应。请按提示放好卡，然后立即重试。</translation>
    </message>
    <message>
        <source>Step %1 of %2: %3</source>
        <translation>第 %1 步（共 %2 步）: %3</translation>
    </message>
    <message>
        <source>Comment: </source>
        <translation>备注: </translation>
    </message>
    <message>
        <source>This step may not be skipped: the plan needs it.</source>
        <translation>这一步不能跳过: 检测计划要求执行它。</translation>
    </message>
    <message>
        <source>Why is it skipped? </source>
        <translation>为什么跳过？ </translation>
    </message>
    <message>
        <source>Unknown key &quot;%1&quot;.</source>
        <translation>未知按键 &quot;%1&quot;。</translation>
    </message>
    <message>
        <source>Enter: run   s: skip   c: comment   q: save and leave</source>
        <translation>Enter: 运行   s: 跳过   c: 备注   q: 保存并退出</translation>
    </message>
    <message>
        <source>Enter: run   c: comment   q: save and leave</source>
        <translation>Enter: 运行   c: 备注   q: 保存并退出</translation>
    </message>
    <message>
        <source>r: retry   Enter: go on   s: skip   c: comment   q: save and leave</source>
        <translation>r: 重试   Enter: 继续   s: 跳过   c: 备注   q: 保存并退出</translation>
    </message>
    <message>
        <source>r: retry   Enter: go on   c: comment   q: save and leave</source>
        <translation>r: 重试   Enter: 继续   c: 备注   q: 保存并退出</translation>
    </message>
    <message>
        <source>The session is saved at step %1 of %2. To go on: cardreader-cli commission --resume %3</source>
        <translation>检测进度已保存，停在第 %1 步（共 %2 步）。要继续，请运行: cardreader-cli commission --resume %3</translation>
    </message>
    <message>
        <source>cannot save the session to %1: %2</source>
        <translation>无法把检测进度保存到 %1: %2</translation>
    </message>
    <message>
        <source>is not a session this program keeps</source>
        <translation>不是本程序保存的检测进度</translation>
    </message>
    <message>
        <source>not stated</source>
        <translation>未提供</translation>
    </message>
    <message>
        <source>host:</source>
        <translation>主机:</translation>
    </message>
    <message>
        <source>machine id:</source>
        <translation>机器 ID:</translation>
    </message>
    <message>
        <source>board model:</source>
        <translation>主板型号:</translation>
    </message>
    <message>
        <source>board serial:</source>
        <translation>主板序列号:</translation>
    </message>
    <message>
        <source>system:</source>
        <translation>系统:</translation>
    </message>
    <message>
        <source>kernel:</source>
        <translation>内核:</translation>
    </message>
    <message>
        <source>package version:</source>
        <translation>软件包版本:</translation>
    </message>
    <message>
        <source>the session %1 %2</source>
        <translation>检测进度 %1 %2</translation>
    </message>
    <message>
        <source>the plan kept in %1 is not the one the session began with</source>
        <translation>%1 中保存的检测计划不是这次检测开始时用的计划</translation>
    </message>
    <message>
        <source>the session in %1 is finished; its record is there</source>
        <translation>%1 中的检测已经完成，记录就在那里</translation>
    </message>
    <message>
        <source>Operator: </source>
        <translation>操作员: </translation>
    </message>
    <message>
        <source>Work order: </source>
        <translation>工单: </translation>
    </message>
    <message>
        <source>%1 holds a session already; go on with it with --resume %1</source>
        <translation>%1 中已有一次检测；请用 --resume %1 继续</translation>
    </message>
    <message>
        <source>The call did not return in time: the reader or its library hangs. See that the reader is connected and powered, then resume to try again.</source>
        <translation>调用没有按时返回: 读卡器或读卡器库卡住了。请检查读卡器是否已连接并通电，然后继续检测，再试一次。</translation>
    </message>
    <message>
        <source>the expected answers kept in %1 are not the ones the session began with</source>
        <translation>%1 中保存的预期答案不是这次检测开始时所用的</translation>
    </message>
    <message>
        <source>the session began with the library %1 (sha256 %2); this run would load %3 (sha256 %4)</source>
        <translation>这次检测开始时用的是库 %1 (sha256 %2)；本次运行将加载 %3 (sha256 %4)</translation>
    </message>
    <message>
        <source>is damaged: its steps do not match its next one</source>
        <translation>已损坏: 其中各步骤的状态与下一步不一致</translation>
    </message>
</context>
<context>
    <name>Summary</name>
    <message>
        <source>unknown</source>
        <translation>未知</translation>
    </message>
    <message>
        <source>%1 KiB resident, %2 open descriptors</source>
        <translation>常驻内存 %1 KiB，打开的描述符 %2 个</translation>
    </message>
    <message>
        <source>, only as far as --expect reads (16 MiB): not a known-good set</source>
        <translation>，只保存到 --expect 能读取的 16 MiB 为止: 不是已知良好答案集</translation>
    </message>
    <message>
        <source>: a known-good set for --expect</source>
        <translation>: 可作为 --expect 的已知良好答案集</translation>
    </message>
    <message>
        <source>: NOT a known-good set, as the verdict says</source>
        <translation>: 不是已知良好答案集，见结论</translation>
    </message>
    <message>
        <source>summary of %1 round(s)</source>
        <translation>汇总 %1 轮</translation>
    </message>
    <message>
        <source> of %1</source>
        <translation>（共 %1 轮）</translation>
    </message>
    <message>
        <source>, time up after %1</source>
        <translation>，%1 后时间已到</translation>
    </message>
    <message>
        <source>, stopped by %1</source>
        <translation>，被 %1 停止</translation>
    </message>
    <message>
        <source> during %1, stopped by the operator after %2 ms</source>
        <translation>，当时正在执行 %1，运行 %2 ms 后被操作员停止</translation>
    </message>
    <message>
        <source>, ended early: %1</source>
        <translation>，提前结束: %1</translation>
    </message>
    <message>
        <source> (round %1 cut short)</source>
        <translation>（第 %1 轮未完成）</translation>
    </message>
    <message>
        <source>calls</source>
        <translation>调用</translation>
    </message>
    <message>
        <source>succeeded</source>
        <translation>成功</translation>
    </message>
    <message>
        <source>failed</source>
        <translation>失败</translation>
    </message>
    <message>
        <source>differs</source>
        <translation>不符</translation>
    </message>
    <message>
        <source>implausible</source>
        <translation>不可信</translation>
    </message>
    <message>
        <source>contract</source>
        <translation>违约</translation>
    </message>
    <message>
        <source>min ms</source>
        <translation>最小 ms</translation>
    </message>
    <message>
        <source>median ms</source>
        <translation>中位 ms</translation>
    </message>
    <message>
        <source>p95 ms</source>
        <translation>p95 ms</translation>
    </message>
    <message>
        <source>p99 ms</source>
        <translation>p99 ms</translation>
    </message>
    <message>
        <source>max ms</source>
        <translation>最大 ms</translation>
    </message>
    <message>
        <source>operation</source>
        <translation>操作</translation>
    </message>
    <message>
        <source>  expected answers: %1 (sha256 %2)</source>
        <translation>  预期答案: %1 (sha256 %2)</translation>
    </message>
    <message>
        <source>  not compared, as %1 names no answer for them: %2</source>
        <translation>  未比较（%1 中没有它们的答案）: %2</translation>
    </message>
    <message>
        <source>  answers saved to %1</source>
        <translation>  答案已保存到 %1</translation>
    </message>
    <message>
        <source>  calling process at start: %1</source>
        <translation>  调用进程开始时: %1</translation>
    </message>
    <message>
        <source>  calling process at end:   %1</source>
        <translation>  调用进程结束时: %1</translation>
    </message>
    <message>
        <source>  started: %1</source>
        <translation>  开始: %1</translation>
    </message>
    <message>
        <source>  ended:   %1, %2 elapsed</source>
        <translation>  结束: %1，历时 %2</translation>
    </message>
    <message>
        <source>  library: %1</source>
        <translation>  库文件: %1</translation>
    </message>
    <message>
        <source>  plan: %1 (sha256 %2)</source>
        <translation>  检测计划: %1 (sha256 %2)</translation>
    </message>
    <message>
        <source>operator:</source>
        <translation>操作员:</translation>
    </message>
    <message>
        <source>work order:</source>
        <translation>工单:</translation>
    </message>
    <message>
        <source>record kept in:</source>
        <translation>记录保存在:</translation>
    </message>
    <message>
        <source>skipped:</source>
        <translation>已跳过:</translation>
    </message>
    <message>
        <source>not fitted:</source>
        <translation>本机型未配备:</translation>
    </message>
    <message>
        <source>comment:</source>
        <translation>备注:</translation>
    </message>
</context>
<context>
    <name>Verdict</name>
    <message>
        <source>; not compared, as the expected answers name none: %1</source>
        <translation>；未比较，预期答案中没有: %1</translation>
    </message>
    <message>
        <source> on the simulated reader</source>
        <translation>（模拟读卡器）</translation>
    </message>
    <message>
        <source>the library broke the contract: %1</source>
        <translation>库违反了接口约定: %1</translation>
    </message>
    <message>
        <source>the output or a report could not be written</source>
        <translation>输出或报告无法写入</translation>
    </message>
    <message>
        <source>call broke the contract</source>
        <translation>次调用违反接口约定</translation>
    </message>
    <message>
        <source>calls broke the contract</source>
        <translation>次调用违反接口约定</translation>
    </message>
    <message>
        <source>answer differs</source>
        <translation>个答案与预期不符</translation>
    </message>
    <message>
        <source>answers differ</source>
        <translation>个答案与预期不符</translation>
    </message>
    <message>
        <source>implausible</source>
        <translation>个答案不可信</translation>
    </message>
    <message>
        <source>call failed</source>
        <translation>次调用失败</translation>
    </message>
    <message>
        <source>calls failed</source>
        <translation>次调用失败</translation>
    </message>
    <message>
        <source>FAILED</source>
        <translation>未通过</translation>
    </message>
    <message>
        <source>%1 of %2 answers as expected</source>
        <translation>%2 个答案中 %1 个符合预期</translation>
    </message>
    <message>
        <source>%1 of %2 calls succeeded</source>
        <translation>%2 次调用中 %1 次成功</translation>
    </message>
    <message>
        <source>, every answer plausible</source>
        <translation>，所有答案均可信</translation>
    </message>
    <message>
        <source>STOPPED</source>
        <translation>已停止</translation>
    </message>
    <message>
        <source> by %1: %2 so far</source>
        <translation>，因 %1: 到停止时 %2</translation>
    </message>
    <message>
        <source>NOT CHECKED</source>
        <translation>未检查</translation>
    </message>
    <message>
        <source>: no answer was compared</source>
        <translation>: 没有比较任何答案</translation>
    </message>
    <message>
        <source>PASSED</source>
        <translation>通过</translation>
    </message>
    <message>
        <source>: no terminal was checked; %1</source>
        <translation>: 未检查任何终端；%1</translation>
    </message>
    <message>
        <source>; %1 step skipped (%2)</source>
        <translation>；跳过 %1 步（%2）</translation>
    </message>
    <message>
        <source>; %1 steps skipped (%2)</source>
        <translation>；跳过 %1 步（%2）</translation>
    </message>
    <message>
        <source>; not fitted: %1</source>
        <translation>；本机型未配备: %1</translation>
    </message>
    <message>
        <source>INCOMPLETE</source>
        <translation>未完成</translation>
    </message>
    <message>
        <source>; %1 step left, to resume</source>
        <translation>；还剩 %1 步待继续</translation>
    </message>
    <message>
        <source>; %1 steps left, to resume</source>
        <translation>；还剩 %1 步待继续</translation>
    </message>
    <message>
        <source>: %1 so far</source>
        <translation>: 到停止时 %1</translation>
    </message>
</context>
<context>
    <name>WindowButton</name>
    <message>
        <source>card-number</source>
        <translation>读取卡号</translation>
    </message>
    <message>
        <source>card-info</source>
        <translation>基本信息</translation>
    </message>
    <message>
        <source>card-id-code</source>
        <translation>读取卡识别码</translation>
    </message>
    <message>
        <source>card-region</source>
        <translation>读取地区编码</translation>
    </message>
    <message>
        <source>id-card</source>
        <translation>读身份证</translation>
    </message>
    <message>
        <source>bank-chip</source>
        <translation>读取芯片卡号</translation>
    </message>
    <message>
        <source>bank-stripe</source>
        <translation>读取磁条卡号</translation>
    </message>
    <message>
        <source>scan-auto</source>
        <translation>设置自动扫码</translation>
    </message>
    <message>
        <source>scan-manual</source>
        <translation>设置手动扫码</translation>
    </message>
    <message>
        <source>scan</source>
        <translation>手动扫码(s)</translation>
    </message>
    <message>
        <source>scan-interval</source>
        <translation>设置自动扫码间隔时间(s)</translation>
    </message>
    <message>
        <source>tracks</source>
        <translation>读取磁条卡(10s超时)</translation>
    </message>
    <message>
        <source>pin</source>
        <translation>输入密码(20s超时)</translation>
    </message>
    <message>
        <source>open</source>
        <translation>打开设备</translation>
    </message>
</context>
</TS>
