<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="zh_CN">
<context>
    <name>BaseOp</name>
    <message>
        <location filename="../src/gui/baseop.cpp" line="277"/>
        <location filename="../src/gui/baseop.cpp" line="597"/>
        <source>序列号无法保存到%1，未写入序列号</source>
        <translation>The next serial number cannot be saved to %1: no serial number written</translation>
    </message>
    <message>
        <location filename="../src/gui/baseop.cpp" line="271"/>
        <source>序列号框中没有可写入的序列号</source>
        <translation>The serial number box holds no number to write</translation>
    </message>
    <message>
        <location filename="../forms/baseop.ui" line="6"/>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <location filename="../forms/baseop.ui" line="25"/>
        <source>起始地址:</source>
        <translation>Start address:</translation>
    </message>
    <message>
        <location filename="../forms/baseop.ui" line="28"/>
        <location filename="../forms/baseop.ui" line="49"/>
        <source>0</source>
        <translation>0</translation>
    </message>
    <message>
        <location filename="../forms/baseop.ui" line="30"/>
        <source>填入十六进制数</source>
        <translation>hexadecimal</translation>
    </message>
    <message>
        <location filename="../forms/baseop.ui" line="33"/>
        <source>(填入十六进制数)</source>
        <translation>(hexadecimal)</translation>
    </message>
    <message>
        <location filename="../forms/baseop.ui" line="35"/>
        <source>写入序列号:</source>
        <translation>Write serial number:</translation>
    </message>
    <message>
        <location filename="../forms/baseop.ui" line="38"/>
        <source>DEC</source>
        <translation>DEC</translation>
    </message>
    <message>
        <location filename="../forms/baseop.ui" line="42"/>
        <source>[16]</source>
        <translation>[16]</translation>
    </message>
    <message>
        <location filename="../forms/baseop.ui" line="48"/>
        <source>读取字节数:</source>
        <translation>Bytes to read:</translation>
    </message>
    <message>
        <location filename="../forms/baseop.ui" line="50"/>
        <source>整片读取</source>
        <translation>Whole chip</translation>
    </message>
    <message>
        <location filename="../forms/baseop.ui" line="52"/>
        <source>烧写选项:</source>
        <translation>Erase:</translation>
    </message>
    <message>
        <location filename="../forms/baseop.ui" line="57"/>
        <source>4KBytes整数倍</source>
        <translation>multiple of 4 KiB</translation>
    </message>
    <message>
        <location filename="../forms/baseop.ui" line="62"/>
        <source>写保护</source>
        <translation>Write protect</translation>
    </message>
    <message>
        <location filename="../forms/baseop.ui" line="63"/>
        <source>通过Flash状态寄存器实现写保护</source>
        <translation>Write-protect the flash through its status register</translation>
    </message>
    <message>
        <location filename="../forms/baseop.ui" line="80"/>
        <source>∨</source>
        <translation>∨</translation>
    </message>
    <message>
        <location filename="../forms/baseop.ui" line="80"/>
        <location filename="../src/gui/baseop.cpp" line="475"/>
        <location filename="../src/gui/baseop.cpp" line="494"/>
        <source>展开选项</source>
        <translation>Show options</translation>
    </message>
    <message>
        <location filename="../forms/baseop.ui" line="81"/>
        <source>↑</source>
        <translation>↑</translation>
    </message>
    <message>
        <location filename="../forms/baseop.ui" line="81"/>
        <source>上一层目录</source>
        <translation>Parent folder</translation>
    </message>
    <message>
        <location filename="../forms/baseop.ui" line="86"/>
        <source>打开文件夹</source>
        <translation>Open folder</translation>
    </message>
    <message>
        <location filename="../src/gui/baseop.cpp" line="72"/>
        <location filename="../src/gui/baseop.cpp" line="473"/>
        <source>往下拖拉展开选项</source>
        <translation>Drag down to show the options</translation>
    </message>
    <message>
        <location filename="../src/gui/baseop.cpp" line="86"/>
        <source>全擦除</source>
        <translation>Erase whole chip</translation>
    </message>
    <message>
        <location filename="../src/gui/baseop.cpp" line="86"/>
        <source>按文件大小擦除</source>
        <translation>Erase by file size</translation>
    </message>
    <message>
        <location filename="../src/gui/baseop.cpp" line="86"/>
        <source>按指定大小擦除</source>
        <translation>Erase a given size</translation>
    </message>
    <message>
        <location filename="../src/gui/baseop.cpp" line="86"/>
        <source>智能烧写：只擦写有变化的扇区</source>
        <translation>Smart write: erase and program only changed sectors</translation>
    </message>
    <message>
        <location filename="../src/gui/baseop.cpp" line="252"/>
        <location filename="../src/gui/baseop.cpp" line="357"/>
        <source>请确认</source>
        <translation>Please confirm</translation>
    </message>
    <message>
        <location filename="../src/gui/baseop.cpp" line="252"/>
        <source>当前未选择文件
确定仅擦除FLAHS？</source>
        <translation>No file is selected.
Only erase the flash?</translation>
    </message>
    <message>
        <location filename="../src/gui/baseop.cpp" line="220"/>
        <location filename="../src/gui/baseop.cpp" line="247"/>
        <location filename="../src/gui/baseop.cpp" line="259"/>
        <location filename="../src/gui/baseop.cpp" line="287"/>
        <location filename="../src/gui/baseop.cpp" line="341"/>
        <location filename="../src/gui/baseop.cpp" line="372"/>
        <location filename="../src/gui/baseop.cpp" line="428"/>
        <location filename="../src/gui/baseop.cpp" line="436"/>
        <location filename="../src/gui/baseop.cpp" line="524"/>
        <source>告警</source>
        <translation>Warning</translation>
    </message>
    <message>
        <location filename="../src/gui/baseop.cpp" line="260"/>
        <source>烧写文件%1大于Flash容量</source>
        <translation>The image %1 is larger than the flash</translation>
    </message>
    <message>
        <location filename="../src/gui/baseop.cpp" line="287"/>
        <location filename="../src/gui/baseop.cpp" line="416"/>
        <source>无法读取镜像文件
%1</source>
        <translation>Cannot read the image file
%1</translation>
    </message>
    <message>
        <location filename="../src/gui/baseop.cpp" line="288"/>
        <location filename="../src/gui/baseop.cpp" line="417"/>
        <source>读取镜像文件%1失败: %2</source>
        <translation>Reading the image file %1 failed: %2</translation>
    </message>
    <message>
        <location filename="../src/gui/baseop.cpp" line="352"/>
        <source>保存成BIN文件</source>
        <translation>Save as BIN file</translation>
    </message>
    <message>
        <location filename="../src/gui/baseop.cpp" line="352"/>
        <source>二进制文件 (*.bin)</source>
        <translation>Binary files (*.bin)</translation>
    </message>
    <message>
        <location filename="../src/gui/baseop.cpp" line="378"/>
        <source>准备读取Flash并保存到:%1</source>
        <translation>Reading the flash into: %1</translation>
    </message>
    <message>
        <location filename="../src/gui/baseop.cpp" line="477"/>
        <source>往上拖拉隐藏选项</source>
        <translation>Drag up to hide the options</translation>
    </message>
    <message>
        <location filename="../src/gui/baseop.cpp" line="479"/>
        <location filename="../src/gui/baseop.cpp" line="489"/>
        <source>隐藏选项</source>
        <translation>Hide options</translation>
    </message>
    <message>
        <location filename="../src/gui/baseop.cpp" line="507"/>
        <source>打开BIN文件所在目录</source>
        <translation>Open the folder of the BIN file</translation>
    </message>
    <message>
        <location filename="../src/gui/baseop.cpp" line="524"/>
        <source>指定路径不存在
请重新指定路径</source>
        <translation>The path does not exist.
Please give another path.</translation>
    </message>
    <message>
        <location filename="../src/gui/baseop.cpp" line="547"/>
        <source>请输入十六进制数</source>
        <translation>Enter a hexadecimal number</translation>
    </message>
    <message>
        <location filename="../src/gui/baseop.cpp" line="549"/>
        <source>转为十进制</source>
        <translation>Show in decimal</translation>
    </message>
    <message>
        <location filename="../src/gui/baseop.cpp" line="551"/>
        <source>当前为十六进制显示</source>
        <translation>Shown in hexadecimal</translation>
    </message>
    <message>
        <location filename="../src/gui/baseop.cpp" line="555"/>
        <source>请输入十进制数</source>
        <translation>Enter a decimal number</translation>
    </message>
    <message>
        <location filename="../src/gui/baseop.cpp" line="557"/>
        <source>转为十六进制</source>
        <translation>Show in hexadecimal</translation>
    </message>
    <message>
        <location filename="../src/gui/baseop.cpp" line="559"/>
        <source>当前为十进制显示</source>
        <translation>Shown in decimal</translation>
    </message>
    <message>
        <location filename="../src/gui/baseop.cpp" line="357"/>
        <source>%1 已存在，是否覆盖？</source>
        <translation>%1 exists already. Replace it?</translation>
    </message>
    <message>
        <location filename="../src/gui/baseop.cpp" line="408"/>
        <source>请选择一个文件进行校验</source>
        <translation>Choose a file to verify</translation>
    </message>
</context>
<context>
    <name>CloseGuard</name>
    <message>
        <location filename="../src/gui/closeguard.cpp" line="18"/>
        <source>请确认</source>
        <translation>Please confirm</translation>
    </message>
    <message>
        <location filename="../src/gui/closeguard.cpp" line="19"/>
        <source>操作正在进行中。
等待: 操作结束后再关闭窗口。
停止并退出: 当前Flash命令完成后停止操作并退出，芯片上的数据可能不完整。</source>
        <translation>An operation is running.
Wait: close the window when it has finished.
Stop and quit: stop the operation after the current flash command and quit; the chip may hold incomplete data.</translation>
    </message>
    <message>
        <location filename="../src/gui/closeguard.cpp" line="22"/>
        <source>停止并退出</source>
        <translation>Stop and quit</translation>
    </message>
    <message>
        <location filename="../src/gui/closeguard.cpp" line="22"/>
        <source>等待</source>
        <translation>Wait</translation>
    </message>
    <message>
        <location filename="../src/gui/closeguard.cpp" line="50"/>
        <source>正在停止: 当前Flash命令完成后停止操作并退出</source>
        <translation>Stopping: the operation stops after the current flash command, then the program quits</translation>
    </message>
    <message>
        <location filename="../src/gui/closeguard.cpp" line="79"/>
        <source>收到终止信号: 当前Flash命令完成后停止操作并退出</source>
        <translation>Termination signal: stopping after the current flash command, then quitting</translation>
    </message>
</context>
<context>
    <name>DeviceInfo</name>
    <message>
        <location filename="../src/chip/deviceinfo.cpp" line="15"/>
        <source>未知</source>
        <translation>Unknown</translation>
    </message>
    <message>
        <location filename="../src/chip/deviceinfo.cpp" line="22"/>
        <source>厂商ID   : %1		设备ID   : %2</source>
        <translation>Maker ID  : %1		Device ID : %2</translation>
    </message>
    <message>
        <location filename="../src/chip/deviceinfo.cpp" line="26"/>
        <source>页大小	 : %1 Bytes	总大小	 : %2MBytes</source>
        <translation>Page size	 : %1 Bytes	Total size	 : %2MBytes</translation>
    </message>
    <message>
        <location filename="../src/chip/deviceinfo.cpp" line="30"/>
        <source>页大小	 : %1 Bytes	总大小	 : %2 KBytes</source>
        <translation>Page size	 : %1 Bytes	Total size	 : %2 KBytes</translation>
    </message>
    <message>
        <location filename="../src/chip/deviceinfo.cpp" line="33"/>
        <source>序列号	 : %1-%2-%3-%4</source>
        <translation>Unique ID	 : %1-%2-%3-%4</translation>
    </message>
</context>
<context>
    <name>FileSysModel</name>
    <message>
        <location filename="../src/gui/filesysmodel.cpp" line="94"/>
        <source>名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <location filename="../src/gui/filesysmodel.cpp" line="94"/>
        <source>大小</source>
        <translation>Size</translation>
    </message>
    <message>
        <location filename="../src/gui/filesysmodel.cpp" line="94"/>
        <source>类型</source>
        <translation>Type</translation>
    </message>
    <message>
        <location filename="../src/gui/filesysmodel.cpp" line="95"/>
        <source>修改日期</source>
        <translation>Date modified</translation>
    </message>
</context>
<context>
    <name>FlashRange</name>
    <message>
        <location filename="../src/core/flashrange.cpp" line="23"/>
        <source>操作范围超出Flash容量: 0x%1 ~ 0x%2 (%3 字节), Flash容量 %4 字节</source>
        <translation>Range beyond the flash: 0x%1 ~ 0x%2 (%3 bytes), flash size %4 bytes</translation>
    </message>
    <message>
        <location filename="../src/core/flashrange.cpp" line="37"/>
        <source>字节</source>
        <translation>bytes</translation>
    </message>
    <message>
        <location filename="../src/core/flashrange.cpp" line="43"/>
        <source>范围外的原有数据未能恢复，可能已丢失（无法读回确认）: %1</source>
        <translation>Data outside the range could not be restored and may be lost (could not be read back to confirm): %1</translation>
    </message>
    <message>
        <location filename="../src/core/flashrange.cpp" line="45"/>
        <source>范围外的原有数据未能恢复，已丢失: %1</source>
        <translation>Data outside the range not put back, lost: %1</translation>
    </message>
</context>
<context>
    <name>ImageOperation</name>
    <message>
        <location filename="../src/ops/imagewrite.cpp" line="60"/>
        <source>加密镜像不能智能烧写，按文件大小擦除后烧写</source>
        <translation>An encrypted image cannot be written smartly: it is erased by file size and programmed</translation>
    </message>
    <message>
        <location filename="../src/ops/imagewrite.cpp" line="179"/>
        <source>正在智能烧写...</source>
        <translation>Smart write: reading the flash, then writing only what differs...</translation>
    </message>
    <message>
        <location filename="../src/ops/imagewrite.cpp" line="193"/>
        <source>擦除%1个扇区，仅编程%2个扇区，跳过%3个未变化的扇区</source>
        <translation>%1 sectors erased, %2 sectors programmed without an erase, %3 unchanged sectors skipped</translation>
    </message>
    <message>
        <location filename="../src/ops/imagewrite.cpp" line="52"/>
        <location filename="../src/ops/imagewrite.cpp" line="80"/>
        <source>执行复位 %1!</source>
        <translation>Reset %1!</translation>
    </message>
    <message>
        <location filename="../src/ops/imagewrite.cpp" line="214"/>
        <source>正在擦除</source>
        <translation>Erasing</translation>
    </message>
    <message>
        <location filename="../src/ops/imagewrite.cpp" line="248"/>
        <source>正在加密烧写镜像...</source>
        <translation>Programming the image with encryption...</translation>
    </message>
    <message>
        <location filename="../src/ops/imagewrite.cpp" line="251"/>
        <source>正在烧写镜像...</source>
        <translation>Programming the image...</translation>
    </message>
    <message>
        <location filename="../src/ops/imagewrite.cpp" line="201"/>
        <location filename="../src/ops/imagewrite.cpp" line="257"/>
        <source>烧写%1</source>
        <translation>Programming %1</translation>
    </message>
    <message>
        <location filename="../src/ops/imageoperation.cpp" line="44"/>
        <source>正在校验...</source>
        <translation>Verifying...</translation>
    </message>
    <message>
        <location filename="../src/ops/imagewrite.cpp" line="199"/>
        <location filename="../src/ops/imagewrite.cpp" line="273"/>
        <source>校验失败，请重新烧写</source>
        <translation>Verification failed, program again</translation>
    </message>
    <message>
        <location filename="../src/ops/imagewrite.cpp" line="204"/>
        <location filename="../src/ops/imagewrite.cpp" line="276"/>
        <source>校验成功</source>
        <translation>Verification succeeded</translation>
    </message>
    <message>
        <location filename="../src/ops/imagewrite.cpp" line="172"/>
        <source>FLASH已写保护</source>
        <translation>Flash write-protected</translation>
    </message>
    <message>
        <location filename="../src/ops/imagewrite.cpp" line="320"/>
        <location filename="../src/ops/imagewrite.cpp" line="344"/>
        <source>序列号写入失败</source>
        <translation>Writing the serial number failed</translation>
    </message>
    <message>
        <location filename="../src/ops/imagewrite.cpp" line="130"/>
        <source>序列号 %1 可能已写入，未能确认</source>
        <translation>Serial number %1 may have been written; it could not be confirmed</translation>
    </message>
    <message>
        <location filename="../src/ops/imagewrite.cpp" line="365"/>
        <source>写入序列号:</source>
        <translation>Write serial number:</translation>
    </message>
    <message>
        <location filename="../src/ops/imageread.cpp" line="31"/>
        <source>开始读取Flash</source>
        <translation>Reading the flash</translation>
    </message>
    <message>
        <location filename="../src/ops/imageoperation.cpp" line="39"/>
        <source>Flash 信息读取失败，Flash无应答</source>
        <translation>Reading the flash information failed: the flash does not answer</translation>
    </message>
    <message>
        <location filename="../src/ops/imageread.cpp" line="49"/>
        <source>Flash 信息读取失败，无法确定整片读取的长度</source>
        <translation>Reading the flash information failed: the length of a whole-chip read is unknown</translation>
    </message>
    <message>
        <location filename="../src/ops/imageread.cpp" line="59"/>
        <source>读取范围无效: 起始地址 0x%1, 长度 %2</source>
        <translation>Invalid read range: start 0x%1, length %2</translation>
    </message>
    <message>
        <location filename="../src/ops/imageread.cpp" line="69"/>
        <source>完成读取Flash，准备存储成文件</source>
        <translation>Flash read, saving the file</translation>
    </message>
    <message>
        <location filename="../src/ops/imageread.cpp" line="78"/>
        <location filename="../src/ops/imageread.cpp" line="94"/>
        <source>文件存储成功</source>
        <translation>File saved</translation>
    </message>
    <message>
        <location filename="../src/ops/imageread.cpp" line="90"/>
        <source>当前序列号:</source>
        <translation>Current serial number:</translation>
    </message>
    <message>
        <location filename="../src/ops/imagewrite.cpp" line="155"/>
        <source>解除Flash写保护失败</source>
        <translation>Could not lift the flash write protection</translation>
    </message>
    <message>
        <location filename="../src/ops/imagewrite.cpp" line="169"/>
        <source>FLASH写保护设置失败</source>
        <translation>Setting the flash write protection failed</translation>
    </message>
    <message>
        <location filename="../src/ops/imagewrite.cpp" line="293"/>
        <source>正在检查擦除结果...</source>
        <translation>Checking the erased range...</translation>
    </message>
    <message>
        <location filename="../src/ops/imagewrite.cpp" line="303"/>
        <source>擦除检查成功</source>
        <translation>Erased range is blank</translation>
    </message>
    <message>
        <location filename="../src/ops/imagewrite.cpp" line="308"/>
        <source>擦除检查失败: 0x%1 处不是空白</source>
        <translation>Erase check failed: 0x%1 is not blank</translation>
    </message>
    <message>
        <location filename="../src/ops/imagewrite.cpp" line="297"/>
        <source>擦除检查失败: Flash容量未知</source>
        <translation>Erase check failed: the flash size is not known</translation>
    </message>
    <message>
        <location filename="../src/ops/imagewrite.cpp" line="263"/>
        <source>烧写成功</source>
        <translation>Programming succeeded</translation>
    </message>
    <message>
        <location filename="../src/ops/imagewrite.cpp" line="346"/>
        <source>回读的序列号记录与写入的不同: %1</source>
        <translation>The serial number record read back differs from the one written: %1</translation>
    </message>
    <message>
        <location filename="../src/ops/imagewrite.cpp" line="361"/>
        <source>序列号 %1 未写入</source>
        <translation>Serial number %1 not stamped</translation>
    </message>
    <message>
        <location filename="../src/ops/imagewrite.cpp" line="357"/>
        <source>序列号 %1 已在芯片上，但写入未正常结束</source>
        <translation>Serial number %1 is on the chip, but its write did not end normally</translation>
    </message>
    <message>
        <location filename="../src/ops/imageoperation.cpp" line="69"/>
        <source>链路模式切换失败</source>
        <translation>The link mode change failed</translation>
    </message>
    <message>
        <location filename="../src/ops/imagewrite.cpp" line="112"/>
        <source>加密镜像太小，没有加密部分: %1 字节</source>
        <translation>The encrypted image is too small to hold its encrypted part: %1 bytes</translation>
    </message>
    <message>
        <location filename="../src/ops/imageoperation.cpp" line="80"/>
        <source>加密镜像无法只校验: 芯片的加密密钥只能通过擦写芯片读出，请用烧写（烧写后按密钥逐字节校验）</source>
        <translation>An encrypted image cannot be verified alone: the chip&apos;s encryption key can only be read out by erasing and programming the chip; use write (it checks every byte with the key afterwards)</translation>
    </message>
    <message>
        <location filename="../src/ops/imageverify.cpp" line="42"/>
        <source>开始查空</source>
        <translation>Blank check started</translation>
    </message>
    <message>
        <location filename="../src/ops/imageverify.cpp" line="42"/>
        <source>开始校验(不擦除、不烧写): %1</source>
        <translation>Verify started (nothing is erased or programmed): %1</translation>
    </message>
    <message>
        <location filename="../src/ops/imageverify.cpp" line="63"/>
        <source>正在查空...</source>
        <translation>Checking that the range is blank...</translation>
    </message>
    <message>
        <location filename="../src/ops/imageverify.cpp" line="66"/>
        <source>0x%1 ~ 0x%2, %3 字节</source>
        <translation>0x%1 ~ 0x%2, %3 bytes</translation>
    </message>
    <message>
        <location filename="../src/ops/imageverify.cpp" line="71"/>
        <source>查空成功: %1 全部为空白</source>
        <translation>Blank check passed: %1 all blank</translation>
    </message>
    <message>
        <location filename="../src/ops/imageverify.cpp" line="71"/>
        <source>校验成功: 芯片与镜像一致 (%1)</source>
        <translation>Verify passed: the chip holds the image (%1)</translation>
    </message>
    <message>
        <location filename="../src/ops/imageverify.cpp" line="74"/>
        <source>查空失败: 首个非空白地址 0x%1, 共 %2 字节不是空白</source>
        <translation>Blank check failed: first programmed address 0x%1, %2 bytes not blank</translation>
    </message>
    <message>
        <location filename="../src/ops/imageverify.cpp" line="77"/>
        <source>校验失败: 首个不同的地址 0x%1, 共 %2 字节不同</source>
        <translation>Verify failed: first differing address 0x%1, %2 bytes differ</translation>
    </message>
</context>
<context>
    <name>ImageRules</name>
    <message>
        <location filename="../src/core/imagerequest.cpp" line="11"/>
        <source>请正确填写起始地址</source>
        <translation>Enter a correct start address</translation>
    </message>
    <message>
        <location filename="../src/core/imagerequest.cpp" line="32"/>
        <source>请选择一个文件进行烧写</source>
        <translation>Choose a file to program</translation>
    </message>
    <message>
        <location filename="../src/core/imagerequest.cpp" line="38"/>
        <location filename="../src/core/imagerequest.cpp" line="43"/>
        <source>请输入正确擦除大小</source>
        <translation>Enter a correct erase size</translation>
    </message>
    <message>
        <location filename="../src/core/imagerequest.cpp" line="59"/>
        <source>烧写文件大小大于Flash容量</source>
        <translation>The image is larger than the flash</translation>
    </message>
    <message>
        <location filename="../src/core/imagerequest.cpp" line="66"/>
        <source>请正确填写读取大小</source>
        <translation>Enter a correct read size</translation>
    </message>
    <message>
        <location filename="../src/core/imagerequest.cpp" line="75"/>
        <source>请正确填写查空大小</source>
        <translation>Enter a correct blank check size</translation>
    </message>
    <message>
        <location filename="../src/core/imagerequest.cpp" line="84"/>
        <source>不是字节数 (十进制，或 0x 开头的十六进制)</source>
        <translation>not a byte count (decimal, or 0x hexadecimal)</translation>
    </message>
    <message>
        <location filename="../src/core/imagerequest.cpp" line="86"/>
        <source>至少 1 字节</source>
        <translation>at least 1 byte</translation>
    </message>
    <message>
        <location filename="../src/core/imagerequest.cpp" line="88"/>
        <source>超出 Flash 末尾: 最大的 Flash 为 %1 字节</source>
        <translation>past the flash end: the largest flash holds %1 bytes</translation>
    </message>
    <message>
        <location filename="../src/core/imagerequest.cpp" line="90"/>
        <source>小于烧写文件: %1 字节</source>
        <translation>smaller than the image: %1 bytes</translation>
    </message>
    <message>
        <location filename="../src/core/imagerequest.cpp" line="100"/>
        <source>烧写文件无法读取: %1</source>
        <translation>cannot read image %1</translation>
    </message>
    <message>
        <location filename="../src/core/imagerequest.cpp" line="105"/>
        <source>: %1 (%2 字节)</source>
        <translation>: %1 (%2 bytes)</translation>
    </message>
    <message>
        <location filename="../src/core/imagerequest.cpp" line="110"/>
        <source>烧写文件无法读取: %1: %2</source>
        <translation>cannot read image %1: %2</translation>
    </message>
    <message>
        <location filename="../src/core/imagerequest.cpp" line="115"/>
        <source>烧写文件 %1 为空 (0 字节)</source>
        <translation>image %1 is empty (0 bytes)</translation>
    </message>
    <message>
        <location filename="../src/core/imagerequest.cpp" line="117"/>
        <source>烧写文件无法完整读取: %1</source>
        <translation>cannot read image %1 whole</translation>
    </message>
</context>
<context>
    <name>JobActions</name>
    <message>
        <location filename="../src/gui/jobactions.cpp" line="91"/>
        <location filename="../src/gui/jobactions.cpp" line="137"/>
        <location filename="../src/gui/jobactions.cpp" line="171"/>
        <source>告警</source>
        <translation>Warning</translation>
    </message>
    <message>
        <location filename="../src/gui/jobactions.cpp" line="160"/>
        <source>请确认</source>
        <translation>Please confirm</translation>
    </message>
    <message>
        <location filename="../src/gui/jobactions.cpp" line="33"/>
        <location filename="../src/gui/jobactions.cpp" line="78"/>
        <source>打开任务</source>
        <translation>Open job</translation>
    </message>
    <message>
        <location filename="../src/gui/jobactions.cpp" line="34"/>
        <source>打开生产任务：选项锁定为任务的设置</source>
        <translation>Open a production job: the options are locked to the job&apos;s settings</translation>
    </message>
    <message>
        <location filename="../src/gui/jobactions.cpp" line="35"/>
        <source>关闭任务</source>
        <translation>Close job</translation>
    </message>
    <message>
        <location filename="../src/gui/jobactions.cpp" line="36"/>
        <source>关闭任务，解除锁定</source>
        <translation>Close the job and unlock the options</translation>
    </message>
    <message>
        <location filename="../src/gui/jobactions.cpp" line="37"/>
        <location filename="../src/gui/jobactions.cpp" line="141"/>
        <source>保存为任务</source>
        <translation>Save as job</translation>
    </message>
    <message>
        <location filename="../src/gui/jobactions.cpp" line="38"/>
        <source>将当前设置保存为生产任务</source>
        <translation>Save the current settings as a production job</translation>
    </message>
    <message>
        <location filename="../src/gui/jobactions.cpp" line="78"/>
        <location filename="../src/gui/jobactions.cpp" line="141"/>
        <source>任务文件 (*.xqjob)</source>
        <translation>Job files (*.xqjob)</translation>
    </message>
    <message>
        <location filename="../src/gui/jobactions.cpp" line="90"/>
        <source>任务无法打开: %1</source>
        <translation>Cannot open the job: %1</translation>
    </message>
    <message>
        <location filename="../src/gui/jobactions.cpp" line="104"/>
        <source>任务: %1 [%2]</source>
        <translation>Job: %1 [%2]</translation>
    </message>
    <message>
        <location filename="../src/gui/jobactions.cpp" line="110"/>
        <source>已打开任务: %1 (%2)</source>
        <translation>Job opened: %1 (%2)</translation>
    </message>
    <message>
        <location filename="../src/gui/jobactions.cpp" line="128"/>
        <source>已关闭任务: %1</source>
        <translation>Job closed: %1</translation>
    </message>
    <message>
        <location filename="../src/gui/jobactions.cpp" line="137"/>
        <source>请先勾选任务要烧写的文件</source>
        <translation>First check the image the job writes</translation>
    </message>
    <message>
        <location filename="../src/gui/jobactions.cpp" line="151"/>
        <source>序列号计数文件</source>
        <translation>Serial counter file</translation>
    </message>
    <message>
        <location filename="../src/gui/jobactions.cpp" line="152"/>
        <source>文本文件 (*.txt)</source>
        <translation>Text files (*.txt)</translation>
    </message>
    <message>
        <location filename="../src/gui/jobactions.cpp" line="160"/>
        <source>任务是否包含静态数据写入?
工作簿: %1</source>
        <translation>Should the job write the static data too?
Workbook: %1</translation>
    </message>
    <message>
        <location filename="../src/gui/jobactions.cpp" line="170"/>
        <source>任务无法保存: %1</source>
        <translation>Cannot save the job: %1</translation>
    </message>
    <message>
        <location filename="../src/gui/jobactions.cpp" line="175"/>
        <source>任务已保存: %1</source>
        <translation>Job saved: %1</translation>
    </message>
    <message>
        <location filename="../src/gui/jobactions.cpp" line="193"/>
        <source>任务被拒绝: %1</source>
        <translation>Job refused: %1</translation>
    </message>
    <message>
        <location filename="../src/gui/jobactions.cpp" line="192"/>
        <location filename="../src/gui/jobactions.cpp" line="203"/>
        <source>操作: 任务 %1, 接口: %2</source>
        <translation>Operation: job %1, interface: %2</translation>
    </message>
</context>
<context>
    <name>JobRules</name>
    <message>
        <location filename="../src/job/jobfile.cpp" line="621"/>
        <source>任务的序列号计数器需要产线数据库: %1</source>
        <translation>The job&apos;s serial counter needs a line database: %1</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="623"/>
        <source>任务不写序列号，却指定了序列号计数器: %1</source>
        <translation>The job stamps no serial numbers but names a serial counter: %1</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="625"/>
        <source>任务的序列号只能来自计数文件或产线数据库之一</source>
        <translation>A job takes its serial numbers from a counter file or from the line database, not both</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="226"/>
        <source>任务文件的%1必须是true或false: %2</source>
        <translation>The job file&apos;s %1 must be true or false: %2</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="58"/>
        <location filename="../src/job/jobfile.cpp" line="64"/>
        <location filename="../src/job/jobfile.cpp" line="251"/>
        <location filename="../src/job/jobfile.cpp" line="256"/>
        <source>文件无法读取: %1</source>
        <translation>Cannot read the file: %1</translation>
    </message>
    <message>
        <source>任务文件格式错误: %1</source>
        <translation type="vanished">The job file is malformed: %1</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="63"/>
        <source>文件太大: %1</source>
        <translation>File too large: %1</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="163"/>
        <source>任务文件不是UTF-8文本: %1</source>
        <translation>The job file is not UTF-8 text: %1</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="175"/>
        <source>任务文件%1第%2行%3: %4</source>
        <translation>Job file %1, line %2 %3: %4</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="182"/>
        <location filename="../src/job/jobfile.cpp" line="191"/>
        <source>无法识别</source>
        <translation>not recognised</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="185"/>
        <source>的节重复</source>
        <translation>section appears twice</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="193"/>
        <source>不在任何节中</source>
        <translation>is not in any section</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="196"/>
        <source>的项重复</source>
        <translation>key appears twice</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="199"/>
        <source>的值无法识别</source>
        <translation>value not recognised</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="207"/>
        <source>任务文件%1中有未知的节: %2</source>
        <translation>Job file %1 has an unknown section: %2</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="213"/>
        <source>任务文件%1中有未知的项: %2</source>
        <translation>The job file %1 holds an unknown key: %2</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="308"/>
        <source>任务文件不完整或已损坏 (校验和无法读取): %1</source>
        <translation>The job file is incomplete or damaged (its checksum cannot be read): %1</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="312"/>
        <source>任务文件不完整或已被改动 (校验和不符): %1</source>
        <translation>The job file is incomplete or was changed (its checksum does not match): %1</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="322"/>
        <source>任务文件不完整 (没有校验和): %1</source>
        <translation>The job file is incomplete (no checksum): %1</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="323"/>
        <source>任务文件没有格式版本和校验和: %1
用 xqprog job create 新任务.xqjob --from %1 重写后再用</source>
        <translation>The job file has no format version and checksum: %1
Rewrite it with xqprog job create NEW.xqjob --from %1 before using it</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="328"/>
        <source>任务文件的格式版本不支持: %1 (支持 %2)</source>
        <translation>Job file format version not supported: %1 (supported: %2)</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="339"/>
        <source>任务的速率无效: %1 (%2)</source>
        <translation>Invalid rate in the job: %1 (%2)</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="357"/>
        <source>任务文件的static/values必须是default或current: %1</source>
        <translation>The job file&apos;s static/values must be default or current: %1</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="444"/>
        <source>任务文件无法写入: %1 是任务自己的文件 %2</source>
        <translation>The job file cannot be written: %1 is the job&apos;s own file %2</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="455"/>
        <source>任务文件无法写入: %1 不是任务文件，不替换</source>
        <translation>The job file cannot be written: %1 is not a job file and is not replaced</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="463"/>
        <source>任务文件无法写入: %1</source>
        <translation>Cannot write the job file: %1</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="474"/>
        <location filename="../src/job/jobfile.cpp" line="494"/>
        <source>任务没有文件的SHA-256: %1</source>
        <translation>The job has no SHA-256 for a file: %1</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="503"/>
        <source>文件已改变，与任务不符: %1
任务中的SHA-256: %2
文件的SHA-256: %3</source>
        <translation>The file has changed and no longer matches the job: %1
SHA-256 in the job: %2
SHA-256 of the file: %3</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="522"/>
        <source>静态数据区 0x%1 ~ 0x%2 与烧写文件 0x%3 ~ 0x%4 重叠</source>
        <translation>Static data area 0x%1 ~ 0x%2 overlaps the image 0x%3 ~ 0x%4</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="534"/>
        <source>任务没有名称</source>
        <translation>The job has no name</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="537"/>
        <source>任务的速率无效: %1</source>
        <translation>The job&apos;s rate is not valid: %1</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="576"/>
        <source>任务没有烧写文件</source>
        <translation>The job has no image</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="595"/>
        <source>任务的擦除方式无效: %1 (whole, file, smart, size)</source>
        <translation>The job&apos;s erase choice is not valid: %1 (whole, file, smart, size)</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="628"/>
        <source>任务的序列号需要计数文件</source>
        <translation>The job&apos;s serial numbers need a counter file</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="631"/>
        <source>任务的起始序列号无效: %1</source>
        <translation>The job&apos;s first serial number is not valid: %1</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="635"/>
        <source>序列号计数文件不可写: %1</source>
        <translation>The serial counter file cannot be written: %1</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="650"/>
        <source>任务的静态数据步骤没有工作簿</source>
        <translation>The job&apos;s static data step has no workbook</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="661"/>
        <source>工作簿无法读取: %1 %2</source>
        <translation>Cannot read the workbook: %1 %2</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="683"/>
        <source>是</source>
        <translation>yes</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="683"/>
        <source>否</source>
        <translation>no</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="688"/>
        <source>名称: %1</source>
        <translation>name: %1</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="689"/>
        <source>描述: %1</source>
        <translation>description: %1</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="690"/>
        <source>任务 SHA-256: %1</source>
        <translation>job sha256: %1</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="691"/>
        <source>速率: %1</source>
        <translation>rate: %1</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="692"/>
        <source>成批页编程: %1</source>
        <translation>batch programs: %1</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="693"/>
        <source>镜像: %1</source>
        <translation>image: %1</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="694"/>
        <source>镜像 SHA-256: %1</source>
        <translation>image sha256: %1</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="695"/>
        <source>起始地址: %1</source>
        <translation>start: %1</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="696"/>
        <source>擦除: %1</source>
        <translation>erase: %1</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="696"/>
        <source>字节数 %1</source>
        <translation>size %1</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="697"/>
        <source>写保护: %1</source>
        <translation>protect: %1</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="698"/>
        <source>序列号: %1</source>
        <translation>serial: %1</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="698"/>
        <source>关</source>
        <translation>off</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="699"/>
        <source>产线数据库计数器 %1</source>
        <translation>line database counter %1</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="700"/>
        <source>计数文件 %1，第一个号 %2</source>
        <translation>counter file %1, first %2</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="704"/>
        <source>序列号检查: 回读</source>
        <translation>serial check: read back</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="706"/>
        <source>产线数据库: %1</source>
        <translation>line database: %1</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="708"/>
        <source>静态数据工作簿: %1</source>
        <translation>static workbook: %1</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="709"/>
        <source>静态数据 SHA-256: %1</source>
        <translation>static sha256: %1</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="710"/>
        <source>静态数据起始地址: %1</source>
        <translation>static start: %1</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="710"/>
        <source>按工作簿</source>
        <translation>the workbook&apos;s</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="711"/>
        <source>静态数据总大小: %1</source>
        <translation>static total: %1</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="711"/>
        <source>按布局</source>
        <translation>the layout&apos;s</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="712"/>
        <source>静态数据的值: %1</source>
        <translation>static values: %1</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="714"/>
        <source>静态数据: 关</source>
        <translation>static: off</translation>
    </message>
    <message>
        <location filename="../src/job/jobfile.cpp" line="716"/>
        <source>校验: %1</source>
        <translation>verify: %1</translation>
    </message>
    <message>
        <location filename="../src/job/jobrun.cpp" line="89"/>
        <source>任务: %1 (任务文件SHA-256: %2)</source>
        <translation>Job: %1 (job file SHA-256: %2)</translation>
    </message>
</context>
<context>
    <name>LineDb</name>
    <message>
        <location filename="../src/linedb/linedb.cpp" line="52"/>
        <source>未知的数据库错误</source>
        <translation>unknown database error</translation>
    </message>
    <message>
        <location filename="../src/linedb/linedb.cpp" line="85"/>
        <source>产线数据库 sqlite:PATH 没有给出文件</source>
        <translation>the line database sqlite:PATH names no file</translation>
    </message>
    <message>
        <location filename="../src/linedb/linedb.cpp" line="88"/>
        <source>产线数据库必须是 sqlite:PATH 或 postgresql://user@host:port/dbname: %1</source>
        <translation>the line database must be sqlite:PATH or postgresql://user@host:port/dbname: %1</translation>
    </message>
    <message>
        <location filename="../src/linedb/linedb.cpp" line="93"/>
        <location filename="../src/linedb/linedb.cpp" line="111"/>
        <source>产线数据库需要 user@host:port/dbname: %1</source>
        <translation>the line database needs user@host:port/dbname: %1</translation>
    </message>
    <message>
        <location filename="../src/linedb/linedb.cpp" line="96"/>
        <source>产线数据库地址中不能含密码: 请写在 PGPASSFILE 或 ~/.pgpass 中</source>
        <translation>a password in the line database&apos;s address is refused: give it in PGPASSFILE or ~/.pgpass</translation>
    </message>
    <message>
        <location filename="../src/linedb/linedb.cpp" line="104"/>
        <source>产线数据库地址中的端口无效: %1</source>
        <translation>bad port in the line database&apos;s address: %1</translation>
    </message>
    <message>
        <location filename="../src/linedb/linedb.cpp" line="167"/>
        <source>缺少 Qt 驱动 %1</source>
        <translation>the Qt driver %1 is missing</translation>
    </message>
    <message>
        <location filename="../src/linedb/linedb.cpp" line="171"/>
        <source>产线数据库 %1 无法连接: %2</source>
        <translation>line database %1 not reachable: %2</translation>
    </message>
    <message>
        <location filename="../src/linedb/linedb.cpp" line="196"/>
        <source>产线数据库 %1: 目录 %2 不存在</source>
        <translation>line database %1: no directory %2</translation>
    </message>
    <message>
        <location filename="../src/linedb/linedb.cpp" line="214"/>
        <source>产线数据库 %1: 无法读取结构版本: %2</source>
        <translation>line database %1: cannot read the schema version: %2</translation>
    </message>
    <message>
        <location filename="../src/linedb/linedb.cpp" line="221"/>
        <source>产线数据库 %1 的结构版本为 %2，比本程序的 %3 新</source>
        <translation>line database %1 has schema version %2, newer than this program&apos;s %3</translation>
    </message>
    <message>
        <location filename="../src/linedb/linedb.cpp" line="227"/>
        <source>产线数据库 %1 没有结构: 请运行 xqprog line-db init</source>
        <translation>line database %1 has no schema: run xqprog line-db init</translation>
    </message>
    <message>
        <location filename="../src/linedb/linedb.cpp" line="238"/>
        <source>产线数据库 %1: 无法建立结构: %2</source>
        <translation>line database %1: the schema could not be made: %2</translation>
    </message>
    <message>
        <location filename="../src/linedb/linedb.cpp" line="248"/>
        <source>计数器的最后一个号 %1 小于第一个号 %2</source>
        <translation>the counter&apos;s last number %1 is below its first %2</translation>
    </message>
    <message>
        <location filename="../src/linedb/linedb.cpp" line="260"/>
        <source>计数器 %1 已存在 (第一个 %2，下一个 %3，最后一个 %4): 只能调高其最后一个号</source>
        <translation>counter %1 exists (first %2, next %3, last %4): only its last number can be raised</translation>
    </message>
    <message>
        <location filename="../src/linedb/linedb.cpp" line="279"/>
        <source>产线数据库 %1 中没有计数器 %2</source>
        <translation>line database %1 has no counter %2</translation>
    </message>
    <message>
        <location filename="../src/linedb/linedb.cpp" line="282"/>
        <source>计数器 %1: 剩余 %2 个序列号，需要 %3 个</source>
        <translation>counter %1: %2 serial numbers left, %3 needed</translation>
    </message>
    <message>
        <location filename="../src/linedb/linedb.cpp" line="322"/>
        <source>产线数据库 %1: 未取得序列号: %2</source>
        <translation>line database %1: no serial number taken: %2</translation>
    </message>
    <message>
        <location filename="../src/linedb/linedb.cpp" line="324"/>
        <source>计数器 %1: 序列号已用完</source>
        <translation>counter %1: no serial numbers left</translation>
    </message>
    <message>
        <location filename="../src/linedb/linedb.cpp" line="438"/>
        <source>产线数据库记录丢失: 缓存文件 %1: %2</source>
        <translation>line database record lost: spool %1: %2</translation>
    </message>
    <message>
        <location filename="../src/linedb/linedb.cpp" line="450"/>
        <source>缓存文件 %1: 无法加锁</source>
        <translation>spool %1: cannot take its lock</translation>
    </message>
    <message>
        <location filename="../src/linedb/linedb.cpp" line="455"/>
        <location filename="../src/linedb/linedb.cpp" line="482"/>
        <source>缓存文件 %1: %2</source>
        <translation>spool %1: %2</translation>
    </message>
</context>
<context>
    <name>LineDbField</name>
    <message>
        <location filename="../src/gui/windowlinedb.cpp" line="80"/>
        <source>产线数据库</source>
        <translation>Line database</translation>
    </message>
    <message>
        <location filename="../src/gui/windowlinedb.cpp" line="87"/>
        <source>每颗芯片记录到此数据库；密码取自 PGPASSFILE 或 ~/.pgpass，不写在地址里</source>
        <translation>Every chip is recorded in this database; the password comes from PGPASSFILE or ~/.pgpass, never from the address</translation>
    </message>
    <message>
        <location filename="../src/gui/windowlinedb.cpp" line="90"/>
        <source>写序列号时从数据库的此计数器取号（空: 使用序列号框）</source>
        <translation>Serial numbers are taken from this counter of the database (empty: the serial number box)</translation>
    </message>
    <message>
        <location filename="../src/gui/windowlinedb.cpp" line="95"/>
        <source>数据库地址:</source>
        <translation>Database address:</translation>
    </message>
    <message>
        <location filename="../src/gui/windowlinedb.cpp" line="96"/>
        <source>序列号计数器:</source>
        <translation>Serial counter:</translation>
    </message>
    <message>
        <location filename="../src/gui/windowlinedb.cpp" line="105"/>
        <source>未保存: %1</source>
        <translation>Not saved: %1</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <location filename="../forms/mainwindow.ui" line="6"/>
        <source>MainWindow</source>
        <translation>MainWindow</translation>
    </message>
    <message>
        <location filename="../forms/mainwindow.ui" line="21"/>
        <source> 镜像操作</source>
        <translation> Image</translation>
    </message>
    <message>
        <location filename="../forms/mainwindow.ui" line="24"/>
        <source>静态数据</source>
        <translation>Static data</translation>
    </message>
    <message>
        <location filename="../forms/mainwindow.ui" line="36"/>
        <source>toolBar</source>
        <translation>toolBar</translation>
    </message>
    <message>
        <location filename="../forms/mainwindow.ui" line="53"/>
        <source> 运行日志</source>
        <translation> Run log</translation>
    </message>
    <message>
        <location filename="../forms/mainwindow.ui" line="72"/>
        <location filename="../forms/mainwindow.ui" line="73"/>
        <source>配置</source>
        <translation>Configure</translation>
    </message>
    <message>
        <location filename="../forms/mainwindow.ui" line="78"/>
        <source>烧写</source>
        <translation>Write</translation>
    </message>
    <message>
        <location filename="../forms/mainwindow.ui" line="79"/>
        <source>烧写Flash</source>
        <translation>Write the flash</translation>
    </message>
    <message>
        <location filename="../forms/mainwindow.ui" line="84"/>
        <source>读取</source>
        <translation>Read</translation>
    </message>
    <message>
        <location filename="../forms/mainwindow.ui" line="85"/>
        <source>读取Flash</source>
        <translation>Read the flash</translation>
    </message>
    <message>
        <location filename="../forms/mainwindow.ui" line="91"/>
        <source>日志</source>
        <translation>Log</translation>
    </message>
    <message>
        <location filename="../forms/mainwindow.ui" line="92"/>
        <source>查看/关闭日志</source>
        <translation>Show/hide the log</translation>
    </message>
    <message>
        <location filename="../forms/mainwindow.ui" line="97"/>
        <source>复位</source>
        <translation>Reset</translation>
    </message>
    <message>
        <location filename="../forms/mainwindow.ui" line="98"/>
        <source>芯片软复位</source>
        <translation>Soft-reset the chip</translation>
    </message>
    <message>
        <location filename="../src/gui/mainwindow.cpp" line="32"/>
        <source>XQ烧写工具 V%1</source>
        <translation>XQ Programmer V%1</translation>
    </message>
    <message>
        <location filename="../src/gui/statusprogress.cpp" line="10"/>
        <source>执行进度:</source>
        <translation>Progress:</translation>
    </message>
    <message>
        <location filename="../src/gui/logpane.cpp" line="11"/>
        <source>拷贝</source>
        <translation>Copy</translation>
    </message>
    <message>
        <location filename="../src/gui/logpane.cpp" line="12"/>
        <source>全选</source>
        <translation>Select all</translation>
    </message>
    <message>
        <location filename="../src/gui/logpane.cpp" line="13"/>
        <source>全删</source>
        <translation>Delete all</translation>
    </message>
    <message>
        <location filename="../src/gui/mainwindow.cpp" line="267"/>
        <source>操作: 复位, 接口: %1</source>
        <translation>Operation: reset, interface: %1</translation>
    </message>
    <message>
        <location filename="../src/gui/mainwindow.cpp" line="68"/>
        <source>未找到USB适配器: 请检查USB线缆是否连接、udev规则60-xqprogrammer.rules是否已安装、当前用户是否属于plugdev组（加入后需重新登录）</source>
        <translation>No USB adapter found: check that the USB cable is connected, that the udev rule 60-xqprogrammer.rules is installed, and that the user is in the plugdev group (log in again after joining it)</translation>
    </message>
    <message>
        <location filename="../src/gui/mainwindow.cpp" line="100"/>
        <source>程序退出时操作仍在进行: 已在当前Flash命令完成后停止，芯片上的数据可能不完整</source>
        <translation>The program ended while an operation was running: it was stopped after the current flash command; the chip may hold incomplete data</translation>
    </message>
    <message>
        <location filename="../src/gui/mainwindow.cpp" line="120"/>
        <source>模拟测试台：不会烧写真实芯片</source>
        <translation>Simulated bench: no real chip is programmed</translation>
    </message>
    <message>
        <location filename="../src/gui/mainwindow.cpp" line="124"/>
        <source> [模拟]</source>
        <translation> [simulated]</translation>
    </message>
    <message>
        <location filename="../src/gui/mainwindow.cpp" line="125"/>
        <source>使用模拟测试台: %1</source>
        <translation>Using the simulated bench: %1</translation>
    </message>
    <message>
        <location filename="../forms/mainwindow.ui" line="103"/>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <location filename="../forms/mainwindow.ui" line="104"/>
        <source>当前Flash命令完成后停止操作</source>
        <translation>Stop the operation after the current flash command</translation>
    </message>
</context>
<context>
    <name>OperationActions</name>
    <message>
        <location filename="../src/gui/operationactions.cpp" line="31"/>
        <source>校验</source>
        <translation>Verify</translation>
    </message>
    <message>
        <location filename="../src/gui/operationactions.cpp" line="32"/>
        <source>校验Flash: 与选中的镜像比较，不擦除、不烧写</source>
        <translation>Verify the flash: compare it with the checked image; nothing is erased or programmed</translation>
    </message>
    <message>
        <location filename="../src/gui/operationactions.cpp" line="33"/>
        <source>查空</source>
        <translation>Blank check</translation>
    </message>
    <message>
        <location filename="../src/gui/operationactions.cpp" line="34"/>
        <source>查空: 擦除选项的范围是否全部为空白(0xFF)</source>
        <translation>Blank check: whether the range of the erase option reads all blank (0xFF)</translation>
    </message>
    <message>
        <location filename="../src/gui/operationactions.cpp" line="80"/>
        <location filename="../src/gui/operationactions.cpp" line="104"/>
        <source>操作: %1, 接口: %2</source>
        <translation>Operation: %1, interface: %2</translation>
    </message>
    <message>
        <location filename="../src/gui/operationactions.cpp" line="92"/>
        <source>告警</source>
        <translation>Warning</translation>
    </message>
    <message>
        <location filename="../src/gui/operationactions.cpp" line="123"/>
        <source>操作: %1 %2, 接口: %3</source>
        <translation>Operation: %1 %2, interface: %3</translation>
    </message>
    <message>
        <location filename="../src/gui/operationactions.cpp" line="211"/>
        <source>正在停止: 当前Flash命令完成后停止操作</source>
        <translation>Stopping: the operation stops after the current flash command</translation>
    </message>
</context>
<context>
    <name>OutputFile</name>
    <message>
        <source>同名文件夹已存在</source>
        <translation type="vanished">A folder of that name exists</translation>
    </message>
    <message>
        <source>不是普通文件、管道或字符设备</source>
        <translation type="vanished">Not a regular file, a pipe or a character device</translation>
    </message>
    <message>
        <source>没有写入权限</source>
        <translation type="vanished">No permission to write</translation>
    </message>
    <message>
        <source>文件夹不存在</source>
        <translation type="vanished">The folder does not exist</translation>
    </message>
    <message>
        <location filename="../src/core/outputfile.cpp" line="46"/>
        <source>未写入任何内容</source>
        <translation>nothing written</translation>
    </message>
    <message>
        <location filename="../src/core/outputfile.cpp" line="85"/>
        <source>无法保存文件:%1, 原因: %2</source>
        <translation>Cannot save the file %1, because: %2</translation>
    </message>
</context>
<context>
    <name>Result</name>
    <message>
        <location filename="../src/core/results.cpp" line="12"/>
        <source>文件访问失败</source>
        <translation>File access failed</translation>
    </message>
    <message>
        <location filename="../src/core/results.cpp" line="13"/>
        <source>文件打开错误</source>
        <translation>File open error</translation>
    </message>
    <message>
        <location filename="../src/core/results.cpp" line="15"/>
        <source>发生超时 %1</source>
        <translation>Time-out %1</translation>
    </message>
    <message>
        <location filename="../src/core/results.cpp" line="16"/>
        <source>校验失败</source>
        <translation>Verification failed</translation>
    </message>
    <message>
        <location filename="../src/core/results.cpp" line="19"/>
        <source>SPI 异常</source>
        <translation>SPI error</translation>
    </message>
    <message>
        <location filename="../src/core/results.cpp" line="20"/>
        <source>未知错误 %1</source>
        <translation>Unknown error %1</translation>
    </message>
    <message>
        <location filename="../src/core/results.cpp" line="17"/>
        <source>已中断</source>
        <translation>interrupted</translation>
    </message>
    <message>
        <location filename="../src/core/results.cpp" line="27"/>
        <source>已停止，芯片未被改动</source>
        <translation>Stopped before the chip was changed</translation>
    </message>
    <message>
        <location filename="../src/core/results.cpp" line="28"/>
        <source>已停止，镜像已烧写但未校验完，请重新烧写</source>
        <translation>Stopped before the verify ended: write it again</translation>
    </message>
    <message>
        <location filename="../src/core/results.cpp" line="29"/>
        <source>已停止，镜像已校验，未设置写保护</source>
        <translation>Stopped: image verified, write protection not set</translation>
    </message>
    <message>
        <location filename="../src/core/results.cpp" line="30"/>
        <source>已停止，镜像已校验，序列号未写入</source>
        <translation>Stopped: image verified, serial number not stamped</translation>
    </message>
    <message>
        <location filename="../src/core/results.cpp" line="31"/>
        <source>已停止，擦除已完成，未检查擦除结果</source>
        <translation>Stopped: erased, the erase not checked</translation>
    </message>
    <message>
        <location filename="../src/core/results.cpp" line="32"/>
        <source>已停止，芯片上的数据不完整，请重新烧写</source>
        <translation>Stopped mid-change: the data is incomplete, write it again</translation>
    </message>
    <message>
        <location filename="../src/core/results.cpp" line="38"/>
        <source>已停止，0x%1 ~ 0x%2 已烧写，未校验完</source>
        <translation>Stopped: 0x%1 ~ 0x%2 programmed, not verified</translation>
    </message>
    <message>
        <location filename="../src/core/results.cpp" line="18"/>
        <source>Flash内容不符</source>
        <translation>The flash content does not match</translation>
    </message>
</context>
<context>
    <name>ResultPanel</name>
    <message>
        <location filename="../src/gui/resultpanel.cpp" line="113"/>
        <source>就绪</source>
        <translation>Ready</translation>
    </message>
    <message>
        <location filename="../src/gui/resultpanel.cpp" line="129"/>
        <source>进行中</source>
        <translation>Running</translation>
    </message>
    <message>
        <location filename="../src/gui/resultpanel.cpp" line="139"/>
        <source>用时 %1 秒</source>
        <translation>Took %1 s</translation>
    </message>
    <message>
        <location filename="../src/gui/resultpanel.cpp" line="198"/>
        <source>%1: 修复失败，请更换芯片</source>
        <translation>%1: repair failed, replace the chip</translation>
    </message>
    <message>
        <location filename="../src/gui/resultpanel.cpp" line="196"/>
        <source>%1: 首个不同的地址 0x%2, 修复失败，请更换芯片</source>
        <translation>%1: first differing address 0x%2, repair failed, replace the chip</translation>
    </message>
    <message>
        <location filename="../src/gui/resultpanel.cpp" line="219"/>
        <source>通过 %1   失败 %2</source>
        <translation>Passed %1   Failed %2</translation>
    </message>
    <message>
        <location filename="../src/gui/resultpanel.cpp" line="79"/>
        <source>清零</source>
        <translation>Clear counts</translation>
    </message>
    <message>
        <location filename="../src/gui/resultpanel.cpp" line="82"/>
        <source>通过和失败的计数清零</source>
        <translation>Set the pass and fail counts to zero</translation>
    </message>
    <message>
        <location filename="../src/gui/resultpanel.cpp" line="205"/>
        <source>请确认</source>
        <translation>Please confirm</translation>
    </message>
    <message>
        <location filename="../src/gui/resultpanel.cpp" line="205"/>
        <source>将通过和失败的计数清零？</source>
        <translation>Set the pass and fail counts to zero?</translation>
    </message>
    <message>
        <location filename="../src/gui/resultpanel.cpp" line="155"/>
        <source>序列号 %1</source>
        <translation>Serial %1</translation>
    </message>
    <message>
        <location filename="../src/gui/resultpanel.cpp" line="166"/>
        <source>任务: %1</source>
        <translation>Job: %1</translation>
    </message>
</context>
<context>
    <name>RunLogFile</name>
    <message>
        <location filename="../src/core/runlogfile.cpp" line="57"/>
        <source>运行日志文件 %1 无法写入: 它不是普通文件</source>
        <translation>run log file %1 cannot be written: it is not a regular file</translation>
    </message>
    <message>
        <location filename="../src/core/runlogfile.cpp" line="59"/>
        <source>运行日志文件 %1 无法写入</source>
        <translation>run log file %1 cannot be written</translation>
    </message>
</context>
<context>
    <name>SerialCounter</name>
    <message>
        <location filename="../src/job/serialcounter.cpp" line="18"/>
        <source>序列号已用完</source>
        <translation>no serial numbers left</translation>
    </message>
    <message>
        <location filename="../src/job/serialcounter.cpp" line="19"/>
        <source>序列号计数文件 %1: 序列号已用完</source>
        <translation>serial counter %1: no serial numbers left</translation>
    </message>
    <message>
        <location filename="../src/job/serialcounter.cpp" line="31"/>
        <location filename="../src/job/serialcounter.cpp" line="110"/>
        <source>序列号计数文件 %1: 无法加锁</source>
        <translation>serial counter %1: cannot take its lock</translation>
    </message>
    <message>
        <location filename="../src/job/serialcounter.cpp" line="32"/>
        <source>序列号计数文件 %1: 无法创建锁文件 %1.lock</source>
        <translation>serial counter %1: cannot create its lock file %1.lock</translation>
    </message>
    <message>
        <location filename="../src/job/serialcounter.cpp" line="78"/>
        <location filename="../src/job/serialcounter.cpp" line="97"/>
        <source>序列号计数文件 %1: %2</source>
        <translation>serial counter %1: %2</translation>
    </message>
    <message>
        <location filename="../src/job/serialcounter.cpp" line="86"/>
        <source>序列号计数文件 %1 的内容须是不大于 %2 的十进制数</source>
        <translation>serial counter %1 does not hold a decimal number up to %2</translation>
    </message>
</context>
<context>
    <name>Session</name>
    <message>
        <location filename="../src/ops/session.cpp" line="101"/>
        <source>结果: %1</source>
        <translation>Result: %1</translation>
    </message>
    <message>
        <location filename="../src/ops/session.cpp" line="102"/>
        <source>结果: %1, 接口: %2</source>
        <translation>Result: %1, interface: %2</translation>
    </message>
</context>
<context>
    <name>SimBench</name>
    <message>
        <location filename="../src/sim/benchsession.cpp" line="40"/>
        <source>%1: 测试台目录只读: 无法创建 bench.lock，模拟芯片也无法保存</source>
        <translation>%1: the bench directory is read-only: bench.lock cannot be created, and the simulated chip could not be saved</translation>
    </message>
    <message>
        <location filename="../src/sim/benchsession.cpp" line="55"/>
        <source>%1: 测试台正被另一个程序使用</source>
        <translation>%1: the bench is in use by another program</translation>
    </message>
    <message>
        <location filename="../src/sim/benchsession.cpp" line="65"/>
        <source>%1 有 %2 字节，模拟芯片需要正好 %3 字节</source>
        <translation>%1 holds %2 bytes, the simulated part needs exactly %3</translation>
    </message>
    <message>
        <location filename="../src/sim/benchsession.cpp" line="95"/>
        <source>无法保存 %1: %2</source>
        <translation>cannot save %1: %2</translation>
    </message>
    <message>
        <location filename="../src/sim/benchsession.cpp" line="110"/>
        <source>%1: 无法创建测试台目录</source>
        <translation>%1: cannot create the bench directory</translation>
    </message>
    <message>
        <location filename="../src/sim/benchsession.cpp" line="123"/>
        <source>无法保存 %1: 文件只读</source>
        <translation>cannot save %1: the file is read-only</translation>
    </message>
    <message>
        <location filename="../src/sim/benchsession.cpp" line="130"/>
        <source>%1: 无法写入</source>
        <translation>%1: cannot be written</translation>
    </message>
    <message>
        <location filename="../src/sim/benchsession.cpp" line="176"/>
        <source>%1/bench.ini: 无法写入</source>
        <translation>%1/bench.ini: cannot be written</translation>
    </message>
    <message>
        <location filename="../src/sim/benchsession.cpp" line="202"/>
        <source>模拟测试台: %1</source>
        <translation>simulated bench: %1</translation>
    </message>
    <message>
        <location filename="../src/sim/benchconfig.cpp" line="153"/>
        <source>容量须在 4 KiB 到 16 MiB 之间</source>
        <translation>capacity between 4 KiB and 16 MiB</translation>
    </message>
    <message>
        <location filename="../src/sim/benchconfig.cpp" line="160"/>
        <source>32 个十六进制数字</source>
        <translation>32 hexadecimal digits</translation>
    </message>
    <message>
        <location filename="../src/sim/benchconfig.cpp" line="241"/>
        <source>1 到 64</source>
        <translation>1 to 64</translation>
    </message>
    <message>
        <location filename="../src/sim/benchconfig.cpp" line="251"/>
        <source>%1: 无法读取</source>
        <translation>%1: cannot be read</translation>
    </message>
    <message>
        <location filename="../src/sim/benchconfig.cpp" line="262"/>
        <source>%1: adapter/model 的值无效 (可选 %2)</source>
        <translation>%1: bad value for adapter/model (one of %2)</translation>
    </message>
    <message>
        <location filename="../src/sim/benchconfig.cpp" line="272"/>
        <source>%1: adapter/serial 的值无效 (最多 32 个可打印的 ASCII 字符)</source>
        <translation>%1: bad value for adapter/serial (up to 32 printable ASCII characters)</translation>
    </message>
    <message>
        <location filename="../src/sim/benchconfig.cpp" line="280"/>
        <source>%1: %2 的值无效</source>
        <translation>%1: bad value for %2</translation>
    </message>
    <message>
        <location filename="../src/sim/simbench.cpp" line="65"/>
        <source>一次USB传输失败 (fail_once)</source>
        <translation>a USB transfer failed (fail_once)</translation>
    </message>
    <message>
        <location filename="../src/sim/simbench.cpp" line="177"/>
        <source>适配器已被拔出</source>
        <translation>the adapter was unplugged</translation>
    </message>
</context>
<context>
    <name>SpiConfig</name>
    <message>
        <location filename="../forms/spiconfig.ui" line="6"/>
        <source>接口配置</source>
        <translation>Interface</translation>
    </message>
    <message>
        <location filename="../forms/spiconfig.ui" line="17"/>
        <source>接口选择:</source>
        <translation>Interface:</translation>
    </message>
    <message>
        <location filename="../forms/spiconfig.ui" line="22"/>
        <source>刷新接口</source>
        <translation>Refresh the interfaces</translation>
    </message>
    <message>
        <location filename="../forms/spiconfig.ui" line="27"/>
        <source>接口速率:</source>
        <translation>Clock rate:</translation>
    </message>
    <message>
        <location filename="../forms/spiconfig.ui" line="43"/>
        <source>刷新MCU、FLASH等信息</source>
        <translation>Read the MCU and flash information</translation>
    </message>
    <message>
        <location filename="../forms/spiconfig.ui" line="44"/>
        <source>获取设备信息</source>
        <translation>Read device information</translation>
    </message>
    <message>
        <location filename="../forms/spiconfig.ui" line="49"/>
        <source>设备信息</source>
        <translation>Device</translation>
    </message>
    <message>
        <location filename="../forms/spiconfig.ui" line="55"/>
        <source>MCU:</source>
        <translation>MCU:</translation>
    </message>
    <message>
        <location filename="../forms/spiconfig.ui" line="57"/>
        <source>FLASH信息:</source>
        <translation>Flash:</translation>
    </message>
    <message>
        <location filename="../src/gui/spiconfig.cpp" line="100"/>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <location filename="../src/gui/spiconfig.cpp" line="100"/>
        <source>接口打开失败
请确认后重试</source>
        <translation>The interface cannot be opened.
Check it and try again.</translation>
    </message>
    <message>
        <location filename="../src/gui/spiconfig.cpp" line="78"/>
        <source>序列号: %1
描述: %2
位置: %3</source>
        <translation>Serial number: %1
Description: %2
Location: %3</translation>
    </message>
    <message>
        <location filename="../src/gui/spiconfig.cpp" line="79"/>
        <source>无</source>
        <translation>none</translation>
    </message>
</context>
<context>
    <name>SpiFtdi</name>
    <message>
        <location filename="../src/link/spiftdi.cpp" line="48"/>
        <source>%1 毫秒内没有应答: 收到 %2 / %3 字节</source>
        <translation>no reply within %1 ms: %2 of %3 bytes</translation>
    </message>
    <message>
        <location filename="../src/link/spiftdi.cpp" line="53"/>
        <source>MPSSE 没有应答同步探测</source>
        <translation>the MPSSE did not answer the synchronisation probe</translation>
    </message>
    <message>
        <location filename="../src/link/spiftdi.cpp" line="64"/>
        <source>xqprogrammer: 没有打开USB适配器的权限。请把 udev 规则 packaging/60-xqprogrammer.rules 安装到 /etc/udev/rules.d/，运行 &apos;udevadm control --reload-rules &amp;&amp; udevadm trigger&apos;，把自己加入 plugdev 组，然后重新登录。</source>
        <translation>xqprogrammer: no permission to open the USB adapter. Install the udev rule packaging/60-xqprogrammer.rules into /etc/udev/rules.d/, run &apos;udevadm control --reload-rules &amp;&amp; udevadm trigger&apos;, add yourself to the group plugdev and log in again.</translation>
    </message>
    <message>
        <location filename="../src/link/spiftdi.cpp" line="101"/>
        <source>多个适配器带有同一序列号 %1: %2</source>
        <translation>serial number %1 is carried by several adapters: %2</translation>
    </message>
    <message>
        <location filename="../src/link/spiftdi.cpp" line="105"/>
        <source>没有这个接口或序列号: %1</source>
        <translation>no such interface or serial number: %1</translation>
    </message>
</context>
<context>
    <name>StaticData</name>
    <message>
        <location filename="../forms/staticdata.ui" line="6"/>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <location filename="../forms/staticdata.ui" line="27"/>
        <source>写入位置</source>
        <translation>Location</translation>
    </message>
    <message>
        <location filename="../forms/staticdata.ui" line="32"/>
        <source>存储:</source>
        <translation>Storage:</translation>
    </message>
    <message>
        <location filename="../forms/staticdata.ui" line="34"/>
        <source>占用(Byte):</source>
        <translation>Used (bytes):</translation>
    </message>
    <message>
        <location filename="../forms/staticdata.ui" line="36"/>
        <source>起始地址:0x</source>
        <translation>Start address: 0x</translation>
    </message>
    <message>
        <location filename="../forms/staticdata.ui" line="37"/>
        <source>1FF000</source>
        <translation>1FF000</translation>
    </message>
    <message>
        <location filename="../forms/staticdata.ui" line="38"/>
        <source>总大小(Byte):</source>
        <translation>Total size (bytes):</translation>
    </message>
    <message>
        <location filename="../forms/staticdata.ui" line="40"/>
        <source>只读(Byte):</source>
        <translation>Read-only (bytes):</translation>
    </message>
    <message>
        <location filename="../forms/staticdata.ui" line="42"/>
        <source>上锁</source>
        <translation>Lock</translation>
    </message>
    <message>
        <location filename="../forms/staticdata.ui" line="48"/>
        <source>写入数据</source>
        <translation>Values to write</translation>
    </message>
    <message>
        <location filename="../forms/staticdata.ui" line="52"/>
        <source>默认值</source>
        <translation>Defaults</translation>
    </message>
    <message>
        <location filename="../forms/staticdata.ui" line="53"/>
        <source>当前值</source>
        <translation>Current</translation>
    </message>
    <message>
        <location filename="../forms/staticdata.ui" line="61"/>
        <source>导入配置</source>
        <translation>Import layout</translation>
    </message>
    <message>
        <location filename="../forms/staticdata.ui" line="67"/>
        <source>导出文件</source>
        <translation>Export</translation>
    </message>
    <message>
        <location filename="../forms/staticdata.ui" line="78"/>
        <location filename="../src/gui/staticdata.cpp" line="359"/>
        <source>导出模板</source>
        <translation>Export template</translation>
    </message>
    <message>
        <location filename="../forms/staticdata.ui" line="79"/>
        <location filename="../src/gui/staticdata.cpp" line="375"/>
        <source>保存Excel</source>
        <translation>Save workbook</translation>
    </message>
    <message>
        <location filename="../forms/staticdata.ui" line="79"/>
        <source>保存Excel文件</source>
        <translation>Save as an Excel workbook</translation>
    </message>
    <message>
        <location filename="../src/gui/staticdata.cpp" line="94"/>
        <source>普通存储</source>
        <translation>Normal</translation>
    </message>
    <message>
        <location filename="../src/gui/staticdata.cpp" line="94"/>
        <source>加密存储</source>
        <translation>Encrypted</translation>
    </message>
    <message>
        <location filename="../src/gui/staticdata.cpp" line="206"/>
        <location filename="../src/gui/staticdata.cpp" line="216"/>
        <location filename="../src/gui/staticdata.cpp" line="254"/>
        <location filename="../src/gui/staticdata.cpp" line="286"/>
        <location filename="../src/gui/staticdata.cpp" line="291"/>
        <source>设置错误</source>
        <translation>Setting error</translation>
    </message>
    <message>
        <location filename="../src/gui/staticdata.cpp" line="316"/>
        <source>打开Excel文件</source>
        <translation>Open an Excel workbook</translation>
    </message>
    <message>
        <location filename="../src/gui/staticdata.cpp" line="325"/>
        <source>打开文件错误</source>
        <translation>File open error</translation>
    </message>
    <message>
        <location filename="../src/gui/staticdata.cpp" line="326"/>
        <source>文件:%1, 错误码:%2</source>
        <translation>File: %1, error code: %2</translation>
    </message>
    <message>
        <location filename="../src/gui/staticdata.cpp" line="333"/>
        <source>成功打开Excel文件!</source>
        <translation>Workbook opened!</translation>
    </message>
    <message>
        <location filename="../src/gui/staticdata.cpp" line="367"/>
        <source>模板已导出到:%1</source>
        <translation>Template exported to: %1</translation>
    </message>
    <message>
        <location filename="../src/gui/staticdata.cpp" line="353"/>
        <source>保存失败</source>
        <translation>Saving failed</translation>
    </message>
    <message>
        <location filename="../src/gui/staticdata.cpp" line="388"/>
        <source>Excel已保存到:%1</source>
        <translation>Workbook saved to: %1</translation>
    </message>
    <message>
        <location filename="../src/gui/staticdata.cpp" line="216"/>
        <source>&quot;起始地址&quot;设置错误，请重新设置</source>
        <translation>&quot;Start address&quot; is wrong, please set it again</translation>
    </message>
    <message>
        <location filename="../src/gui/staticdata.cpp" line="306"/>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <location filename="../src/gui/staticdata.cpp" line="308"/>
        <source> 等%1项</source>
        <translation> and more, %1 items in all</translation>
    </message>
    <message>
        <location filename="../src/gui/staticdata.cpp" line="310"/>
        <source>以下项目没有设备数值，将写入0:
%1
确定写入当前值？</source>
        <translation>These items have no device value and will be written as 0:
%1
Write the current values?</translation>
    </message>
    <message>
        <location filename="../src/gui/staticdata.cpp" line="352"/>
        <source>文件无法写入，可能已被其他程序打开</source>
        <translation>The file cannot be written; another program may have it open</translation>
    </message>
    <message>
        <location filename="../src/gui/staticdata.cpp" line="353"/>
        <source>无法保存文件:%1
原因: %2</source>
        <translation>Cannot save the file: %1
Reason: %2</translation>
    </message>
    <message>
        <location filename="../src/gui/staticdata.cpp" line="354"/>
        <source>保存%1失败: %2</source>
        <translation>Saving %1 failed: %2</translation>
    </message>
    <message>
        <location filename="../src/gui/staticdata.cpp" line="434"/>
        <source>告警</source>
        <translation>Warning</translation>
    </message>
    <message>
        <location filename="../src/gui/staticdata.cpp" line="243"/>
        <location filename="../src/gui/staticdata.cpp" line="309"/>
        <source>请确认</source>
        <translation>Please confirm</translation>
    </message>
    <message>
        <location filename="../src/gui/staticdata.cpp" line="241"/>
        <source>工作簿的起始地址&quot;%1&quot;不是十六进制数，按 0 处理</source>
        <translation>The workbook&apos;s start address &quot;%1&quot; is not hexadecimal and is taken as 0</translation>
    </message>
    <message>
        <location filename="../src/gui/staticdata.cpp" line="243"/>
        <source>确定写入到地址 0x000000？</source>
        <translation>Write at address 0x000000?</translation>
    </message>
</context>
<context>
    <name>StaticLayout</name>
    <message>
        <location filename="../src/staticdata/staticlayout.cpp" line="130"/>
        <source>%1: 文件不存在</source>
        <translation>%1: no such file</translation>
    </message>
    <message>
        <location filename="../src/staticdata/staticlayout.cpp" line="165"/>
        <source>工作表 %1: %2</source>
        <translation>sheet %1: %2</translation>
    </message>
    <message>
        <location filename="../src/staticdata/staticlayout.cpp" line="174"/>
        <source>工作表 %1 不是到 I 列为止</source>
        <translation>sheet %1 does not end in column I</translation>
    </message>
    <message>
        <location filename="../src/staticdata/staticlayout.cpp" line="243"/>
        <source>工作表 %1 第 %2 行: 个数 %3 不在 0..65535 之内</source>
        <translation>sheet %1 row %2: count %3 is outside 0..65535</translation>
    </message>
    <message>
        <location filename="../src/staticdata/staticlayout.cpp" line="444"/>
        <source>&quot;%1&quot;不是%2类型%3格式的有效数值</source>
        <translation>&quot;%1&quot; is not a valid number of type %2 in format %3</translation>
    </message>
    <message>
        <location filename="../src/staticdata/staticlayout.cpp" line="448"/>
        <source>给出%1个数值，最多%2个</source>
        <translation>%1 values given, the item holds at most %2</translation>
    </message>
    <message>
        <location filename="../src/staticdata/staticlayout.cpp" line="261"/>
        <source>%1 的默认值 &quot;%2&quot; 按表格规则写入: %3</source>
        <translation>The default value &quot;%2&quot; of %1 is written as the workbook reads it: %3</translation>
    </message>
</context>
<context>
    <name>StaticOperation</name>
    <message>
        <location filename="../src/ops/staticoperation.cpp" line="7"/>
        <source>查找静态数据标识...</source>
        <translation>Searching for the static data mark...</translation>
    </message>
    <message>
        <location filename="../src/ops/staticoperation.cpp" line="12"/>
        <source>未找到静态数据标识!</source>
        <translation>Static data mark not found!</translation>
    </message>
</context>
<context>
    <name>StaticRead</name>
    <message>
        <location filename="../src/ops/staticread.cpp" line="41"/>
        <source>找到静态数据标识 %1</source>
        <translation>Static data mark found at %1</translation>
    </message>
    <message>
        <location filename="../src/ops/staticread.cpp" line="59"/>
        <source>刷新当前数据</source>
        <translation>Current data refreshed</translation>
    </message>
    <message>
        <location filename="../src/ops/staticread.cpp" line="45"/>
        <source>未导入配置，无法显示数据</source>
        <translation>No layout loaded: the data cannot be shown</translation>
    </message>
    <message>
        <location filename="../src/ops/staticread.cpp" line="53"/>
        <source>显示数据异常，请查看导入配置是否正确</source>
        <translation>The data cannot be shown: check that the imported layout is right</translation>
    </message>
</context>
<context>
    <name>StaticRules</name>
    <message>
        <location filename="../src/core/staticrequest.cpp" line="14"/>
        <source>&quot;总大小&quot;设置错误，请重新设置</source>
        <translation>&quot;Total size&quot; is wrong, please set it again</translation>
    </message>
    <message>
        <location filename="../src/core/staticrequest.cpp" line="19"/>
        <source>写入参数错误</source>
        <translation>Bad write parameters</translation>
    </message>
    <message>
        <location filename="../src/staticdata/staticarea.cpp" line="18"/>
        <source>工作簿的起始地址 &quot;%1&quot; 不是十六进制数: 请用 --start 给出</source>
        <translation>the workbook&apos;s start address &quot;%1&quot; is not hexadecimal: give --start</translation>
    </message>
    <message>
        <location filename="../src/staticdata/staticarea.cpp" line="21"/>
        <source>工作簿的起始地址 &quot;%1&quot; 超出 24 位: 请用 --start 给出</source>
        <translation>the workbook&apos;s start address &quot;%1&quot; is past 24 bits: give --start</translation>
    </message>
    <message>
        <location filename="../src/staticdata/staticarea.cpp" line="30"/>
        <source>总大小无效: %1</source>
        <translation>bad total size: %1</translation>
    </message>
</context>
<context>
    <name>StaticWrite</name>
    <message>
        <location filename="../src/ops/staticwrite.cpp" line="65"/>
        <source>准备写入%1静态数据...</source>
        <translation>Writing %1 static data...</translation>
    </message>
    <message>
        <location filename="../src/ops/staticwrite.cpp" line="65"/>
        <source>当前</source>
        <translation>current</translation>
    </message>
    <message>
        <location filename="../src/ops/staticwrite.cpp" line="65"/>
        <source>默认</source>
        <translation>default</translation>
    </message>
    <message>
        <location filename="../src/ops/staticwrite.cpp" line="67"/>
        <source>找到静态数据标识</source>
        <translation>Static data mark found</translation>
    </message>
    <message>
        <location filename="../src/ops/staticwrite.cpp" line="79"/>
        <source>擦除原有静态数据...</source>
        <translation>Erasing the old static data...</translation>
    </message>
    <message>
        <location filename="../src/ops/staticwrite.cpp" line="88"/>
        <source>写入静态数据...</source>
        <translation>Writing static data...</translation>
    </message>
    <message>
        <location filename="../src/ops/staticwrite.cpp" line="117"/>
        <location filename="../src/ops/staticwrite.cpp" line="199"/>
        <source>写入完成</source>
        <translation>Write done</translation>
    </message>
    <message>
        <location filename="../src/ops/staticwrite.cpp" line="121"/>
        <source>静态数据区的数据不完整，请重新写入</source>
        <translation>The static data area holds incomplete data: write it again</translation>
    </message>
    <message>
        <location filename="../src/ops/staticwrite.cpp" line="164"/>
        <source>写保护时静态数据区须在Flash的上半部分 (0x%1 起): 0x%2</source>
        <translation>With write protection the static data area must lie in the upper half of the flash (from 0x%1): 0x%2</translation>
    </message>
    <message>
        <location filename="../src/ops/staticwrite.cpp" line="51"/>
        <source>FLASH写保护恢复失败</source>
        <translation>Restoring the flash write protection failed</translation>
    </message>
</context>
<context>
    <name>TabWidgetXlsx</name>
    <message>
        <location filename="../src/gui/tabwidgetxlsx.cpp" line="65"/>
        <source>字节总长</source>
        <translation>Bytes</translation>
    </message>
    <message>
        <location filename="../src/gui/tabwidgetxlsx.cpp" line="66"/>
        <source>设备数值</source>
        <translation>Device value</translation>
    </message>
    <message>
        <location filename="../src/gui/tabwidgetxlsx.cpp" line="120"/>
        <source>告警</source>
        <translation>Warning</translation>
    </message>
    <message>
        <location filename="../src/gui/tabwidgetxlsx.cpp" line="120"/>
        <source>显示数据异常，
请查看导入配置是否正确</source>
        <translation>The data does not match,
check that the imported layout is right</translation>
    </message>
    <message>
        <location filename="../src/gui/tabwidgetxlsx.cpp" line="184"/>
        <source>%1: 请改正后再写入当前值</source>
        <translation>%1: correct it before writing the current values</translation>
    </message>
</context>
<context>
    <name>Texts</name>
    <message>
        <location filename="../src/core/commontexts.cpp" line="9"/>
        <source>成功</source>
        <translation>succeeded</translation>
    </message>
    <message>
        <location filename="../src/core/commontexts.cpp" line="9"/>
        <source>失败</source>
        <translation>failed</translation>
    </message>
    <message>
        <location filename="../src/core/commontexts.cpp" line="14"/>
        <source>未执行</source>
        <translation>not run</translation>
    </message>
    <message>
        <location filename="../src/core/commontexts.cpp" line="30"/>
        <source>准备烧写%1文件</source>
        <translation>Preparing to program %1</translation>
    </message>
    <message>
        <location filename="../src/core/commontexts.cpp" line="35"/>
        <source>下一个序列号: %1</source>
        <translation>Next serial number: %1</translation>
    </message>
    <message>
        <location filename="../src/core/commontexts.cpp" line="40"/>
        <source>追溯记录写入失败: %1</source>
        <translation>Could not write the trace record: %1</translation>
    </message>
    <message>
        <location filename="../src/core/commontexts.cpp" line="45"/>
        <source>接口未打开
请确认后重试</source>
        <translation>The interface is not open.
Check it and try again.</translation>
    </message>
    <message>
        <location filename="../src/core/commontexts.cpp" line="50"/>
        <source>接口关闭失败: %1</source>
        <translation>The interface could not be closed: %1</translation>
    </message>
    <message>
        <location filename="../src/core/commontexts.cpp" line="55"/>
        <source>复位成功!</source>
        <translation>Reset succeeded!</translation>
    </message>
    <message>
        <location filename="../src/core/commontexts.cpp" line="60"/>
        <source>复位失败: %1</source>
        <translation>Reset failed: %1</translation>
    </message>
    <message>
        <location filename="../src/core/commontexts.cpp" line="65"/>
        <source>Flash 信息读取失败</source>
        <translation>Reading the flash information failed</translation>
    </message>
    <message>
        <location filename="../src/core/commontexts.cpp" line="70"/>
        <source>擦除完成</source>
        <translation>Erase done</translation>
    </message>
    <message>
        <location filename="../src/core/commontexts.cpp" line="75"/>
        <source>建议为4K的整数倍</source>
        <translation>A multiple of 4K is advised</translation>
    </message>
    <message>
        <location filename="../src/core/commontexts.cpp" line="19"/>
        <source>成功</source>
        <comment>verdict</comment>
        <translation>PASS</translation>
    </message>
    <message>
        <location filename="../src/core/commontexts.cpp" line="20"/>
        <source>失败</source>
        <comment>verdict</comment>
        <translation>FAIL</translation>
    </message>
    <message>
        <location filename="../src/core/commontexts.cpp" line="25"/>
        <source>未执行</source>
        <comment>verdict</comment>
        <translation>Not run</translation>
    </message>
</context>
<context>
    <name>TraceFile</name>
    <message>
        <location filename="../src/core/tracefile.cpp" line="77"/>
        <source>%1: 不是普通文件</source>
        <translation>%1: not a regular file</translation>
    </message>
    <message>
        <location filename="../src/core/tracefile.cpp" line="109"/>
        <source>磁盘已满</source>
        <translation>disk full</translation>
    </message>
</context>
<context>
    <name>Workbook</name>
    <message>
        <location filename="../src/staticdata/workbookformat.cpp" line="24"/>
        <source>数据名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <location filename="../src/staticdata/workbookformat.cpp" line="24"/>
        <source>数据类型</source>
        <translation>Type</translation>
    </message>
    <message>
        <location filename="../src/staticdata/workbookformat.cpp" line="26"/>
        <source>默认值</source>
        <translation>Defaults</translation>
    </message>
    <message>
        <location filename="../src/staticdata/workbookformat.cpp" line="26"/>
        <source>只读</source>
        <translation>Read-only</translation>
    </message>
    <message>
        <location filename="../src/staticdata/workbookformat.cpp" line="23"/>
        <source>序号</source>
        <translation>No.</translation>
    </message>
    <message>
        <location filename="../src/staticdata/workbookformat.cpp" line="23"/>
        <source>名称</source>
        <translation>Key</translation>
    </message>
    <message>
        <location filename="../src/staticdata/workbookformat.cpp" line="25"/>
        <source>数量</source>
        <translation>Count</translation>
    </message>
    <message>
        <location filename="../src/staticdata/workbookformat.cpp" line="25"/>
        <source>数值格式</source>
        <translation>Format</translation>
    </message>
    <message>
        <location filename="../src/staticdata/workbookformat.cpp" line="27"/>
        <source>描述</source>
        <translation>Description</translation>
    </message>
</context>
<context>
    <name>Xlsx</name>
    <message>
        <location filename="../src/xlsx/workbookwriter.cpp" line="283"/>
        <source>%1: 工作表名称无效</source>
        <translation>%1: bad sheet name</translation>
    </message>
    <message>
        <location filename="../src/xlsx/workbookwriter.cpp" line="289"/>
        <source>工作簿至少需要一个工作表</source>
        <translation>a workbook needs at least one sheet</translation>
    </message>
    <message>
        <location filename="../src/xlsx/workbookwriter.cpp" line="294"/>
        <source>%1: 无法生成工作簿</source>
        <translation>%1: the workbook could not be assembled</translation>
    </message>
    <message>
        <location filename="../src/xlsx/xlsxdocument.cpp" line="112"/>
        <source>缺少部件 %1</source>
        <translation>missing part %1</translation>
    </message>
    <message>
        <location filename="../src/xlsx/xlsxdocument.cpp" line="117"/>
        <source>无法读取部件 %1</source>
        <translation>cannot read part %1</translation>
    </message>
    <message>
        <location filename="../src/xlsx/xlsxdocument.cpp" line="125"/>
        <source>部件 %1 已损坏</source>
        <translation>corrupt part %1</translation>
    </message>
    <message>
        <location filename="../src/xlsx/xlsxdocument.cpp" line="132"/>
        <source>部件 %1 太大</source>
        <translation>part %1 is too large</translation>
    </message>
    <message>
        <location filename="../src/xlsx/xlsxdocument.cpp" line="139"/>
        <source>部件 %1 已损坏 (校验和不符)</source>
        <translation>corrupt part %1 (checksum)</translation>
    </message>
    <message>
        <location filename="../src/xlsx/xlsxdocument.cpp" line="170"/>
        <source>%1 不是可读取的 .xlsx 文件</source>
        <translation>%1 is not a readable .xlsx file</translation>
    </message>
    <message>
        <location filename="../src/xlsx/xlsxdocument.cpp" line="210"/>
        <source>工作簿的关系部件格式错误: %1</source>
        <translation>malformed workbook relationships: %1</translation>
    </message>
    <message>
        <location filename="../src/xlsx/xlsxdocument.cpp" line="229"/>
        <source>工作簿格式错误: %1</source>
        <translation>malformed workbook: %1</translation>
    </message>
    <message>
        <location filename="../src/xlsx/xlsxdocument.cpp" line="246"/>
        <source>共享字符串: %1</source>
        <translation>shared strings: %1</translation>
    </message>
    <message>
        <location filename="../src/xlsx/xlsxdocument.cpp" line="256"/>
        <source>共享字符串太多</source>
        <translation>too many shared strings</translation>
    </message>
    <message>
        <location filename="../src/xlsx/xlsxdocument.cpp" line="262"/>
        <source>共享字符串格式错误: %1</source>
        <translation>malformed shared strings: %1</translation>
    </message>
    <message>
        <location filename="../src/xlsx/xlsxdocument.cpp" line="396"/>
        <source>单元格太多</source>
        <translation>too many cells</translation>
    </message>
    <message>
        <location filename="../src/xlsx/xlsxdocument.cpp" line="415"/>
        <source>单元格 %1 引用的共享字符串 %2 在工作簿中不存在</source>
        <translation>cell %1 names shared string %2, which the workbook does not hold</translation>
    </message>
    <message>
        <location filename="../src/xlsx/xlsxdocument.cpp" line="426"/>
        <source>工作表格式错误: %1</source>
        <translation>malformed worksheet: %1</translation>
    </message>
</context>
<context>
    <name>xqprog</name>
    <message>
        <location filename="../src/cli/cmdstatic.cpp" line="33"/>
        <source>文件:%1, 错误码:%2 %3</source>
        <translation>File: %1, error code: %2 %3</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdstatic.cpp" line="35"/>
        <source>警告: %1</source>
        <translation>warning: %1</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdstatic.cpp" line="86"/>
        <source>警告: --set %1: 值被截为 %2 字节: %3</source>
        <translation>warning: --set %1: the value is cut to %2 bytes: %3</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdstatic.cpp" line="101"/>
        <source>--set %1: 请给出 1 到 %2 个数值</source>
        <translation>--set %1: give 1 to %2 values</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdstatic.cpp" line="132"/>
        <source>写入默认值或当前值 (默认: default)。</source>
        <translation>Write the default values or the current ones (default: default).</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdstatic.cpp" line="133"/>
        <source>设置一项的当前值；可以多次给出。</source>
        <translation>Set an item&apos;s current value; may be repeated.</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdstatic.cpp" line="134"/>
        <source>与 --values current 一起: 即使有些项没有用 --set 给出值也写入 (它们写入默认值)。</source>
        <translation>With --values current: write although some items got no value from --set (they keep their default values).</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdstatic.cpp" line="160"/>
        <source>static read 只能在一个接口上运行</source>
        <translation>static read runs on one interface</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdstatic.cpp" line="188"/>
        <source>--values 无效: %1 (default 或 current)</source>
        <translation>bad --values: %1 (default or current)</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdstatic.cpp" line="192"/>
        <source>--set 给出的是当前值: 请加上 --values current</source>
        <translation>--set gives current values: add --values current</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdstatic.cpp" line="198"/>
        <source>没有名为 %1 的项</source>
        <translation>no item named %1</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdstatic.cpp" line="206"/>
        <source>--set %1: 多个工作表中都有这个名称 (%2)</source>
        <translation>--set %1: the name is on several sheets (%2)</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdstatic.cpp" line="223"/>
        <source>--values current: %1 没有给出值 (请用 --set 给出，或用 --force 写入它们的默认值)</source>
        <translation>--values current: no value given for %1 (give them with --set, or --force to write their default values)</translation>
    </message>
    <message>
        <location filename="../src/cli/clioptions.cpp" line="16"/>
        <source>-i all (或多次 -i) 让 write、erase、read、verify、blank、reset、static write 和 run 同时在每个指定的适配器上运行。
退出码: 0 成功，1 操作在芯片或适配器上失败，2 用法或输入错误。</source>
        <translation>-i all (or -i several times) runs write, erase, read, verify, blank, reset, static write and run on every named adapter at once.
Exit codes: 0 success, 1 the operation failed on the chip or adapter, 2 bad usage or input.</translation>
    </message>
    <message>
        <location filename="../src/cli/clioptions.cpp" line="23"/>
        <source>显示本帮助 (在命令之后: 该命令的帮助)。</source>
        <translation>Show this help (after a command: the command&apos;s help).</translation>
    </message>
    <message>
        <location filename="../src/cli/clioptions.cpp" line="24"/>
        <source>显示版本。</source>
        <translation>Show the version.</translation>
    </message>
    <message>
        <location filename="../src/cli/clioptions.cpp" line="25"/>
        <source>使用模拟测试台代替USB适配器；--simulate=DIR: 测试台目录。</source>
        <translation>Use the simulated bench instead of USB adapters; --simulate=DIR: the bench directory.</translation>
    </message>
    <message>
        <location filename="../src/cli/clioptions.cpp" line="27"/>
        <source>要使用的适配器，按名称或序列号；多次给出或给出 &quot;all&quot; 时多个适配器同时运行 (默认: 列出的第一个)。</source>
        <translation>The adapter to use, by name or serial number; several times, or &quot;all&quot;, for a gang run (default: the first listed).</translation>
    </message>
    <message>
        <location filename="../src/cli/clioptions.cpp" line="29"/>
        <source>SPI 时钟: %1，或序号 0 到 %2 (默认 %3)。</source>
        <translation>The SPI clock: %1, or the index 0 to %2 (default %3).</translation>
    </message>
    <message>
        <location filename="../src/cli/clioptions.cpp" line="34"/>
        <source>不显示进度条。</source>
        <translation>No progress bar.</translation>
    </message>
    <message>
        <location filename="../src/cli/clioptions.cpp" line="35"/>
        <source>每个操作之后在标准输出上为每个适配器输出一个 JSON 对象；日志行改到标准错误。</source>
        <translation>After each operation one JSON object per adapter on standard output; log lines go to standard error.</translation>
    </message>
    <message>
        <location filename="../src/cli/clioptions.cpp" line="36"/>
        <source>每次芯片操作向 FILE 追加一行 CSV (并写入磁盘)。</source>
        <translation>Append one CSV row per chip operation to FILE (flushed to disk).</translation>
    </message>
    <message>
        <location filename="../src/cli/clioptions.cpp" line="37"/>
        <source>输出的语言: zh 或 en (默认: 英文区域设置下为 en，否则为 zh)。</source>
        <translation>The language of the output: zh or en (default: en under an English locale, else zh).</translation>
    </message>
    <message>
        <location filename="../src/cli/clioptions.cpp" line="38"/>
        <source>逐个发送页编程，每个在前一个的状态查询之后，按地址顺序 (默认；芯片厂商的帧顺序)。</source>
        <translation>Send each page program on its own, after the status poll of the one before, in address order (the default; the chip maker&apos;s frame order).</translation>
    </message>
    <message>
        <location filename="../src/cli/clioptions.cpp" line="39"/>
        <source>每次USB交换成批发送最多 64 个页编程 (全速时更快)。这不是芯片厂商的帧顺序，只在模拟测试台上运行过。加密镜像从不使用。</source>
        <translation>Send page programs in batches of up to 64 per USB exchange (faster at full speed). Not the chip maker&apos;s frame order; it has only been run on the simulated bench. Never used for encrypted images.</translation>
    </message>
    <message>
        <location filename="../src/cli/clioptions.cpp" line="107"/>
        <source>命令:</source>
        <translation>Commands:</translation>
    </message>
    <message>
        <location filename="../src/cli/clioptions.cpp" line="136"/>
        <source>选项:</source>
        <translation>Options:</translation>
    </message>
    <message>
        <location filename="../src/cli/clioptions.cpp" line="156"/>
        <source>用法: xqprog [选项] %1 %2</source>
        <translation>Usage: xqprog [options] %1 %2</translation>
    </message>
    <message>
        <location filename="../src/cli/clioptions.cpp" line="162"/>
        <source>用法: xqprog [选项] 命令 ...</source>
        <translation>Usage: xqprog [options] COMMAND ...</translation>
    </message>
    <message>
        <location filename="../src/cli/clioptions.cpp" line="163"/>
        <source>通过 FTDI MPSSE 适配器烧写 XQ6130、XQ6230 和 XQ6030 芯片。</source>
        <translation>Programs XQ6130, XQ6230 and XQ6030 chips through FTDI MPSSE adapters.</translation>
    </message>
    <message>
        <location filename="../src/cli/clioptions.cpp" line="181"/>
        <source>--batch-programs 与 --strict-order 互相矛盾</source>
        <translation>--batch-programs and --strict-order contradict each other</translation>
    </message>
    <message>
        <location filename="../src/cli/clioptions.cpp" line="186"/>
        <source>--trace 需要一个文件 FILE</source>
        <translation>--trace needs a FILE</translation>
    </message>
    <message>
        <location filename="../src/cli/clioptions.cpp" line="194"/>
        <source>未知的速率: %1 (可选 %2，或序号 0 到 %3)</source>
        <translation>unknown rate: %1 (one of %2, or the index 0 to %3)</translation>
    </message>
    <message>
        <location filename="../src/cli/clioptions.cpp" line="209"/>
        <source>未知的命令: %1 (--simulate 的目录须写成 --simulate=%1)
用法见 &apos;xqprog --help&apos;。</source>
        <translation>unknown command: %1 (--simulate takes its directory as --simulate=%1)
Try &apos;xqprog --help&apos;.</translation>
    </message>
    <message>
        <location filename="../src/cli/clioptions.cpp" line="214"/>
        <source>未知的命令: %1 (命令有: %2)
用法见 &apos;xqprog --help&apos;。</source>
        <translation>unknown command: %1 (commands: %2)
Try &apos;xqprog --help&apos;.</translation>
    </message>
    <message>
        <location filename="../src/cli/clioptions.cpp" line="226"/>
        <source>%1选项有: %2</source>
        <translation>%1options: %2</translation>
    </message>
    <message>
        <location filename="../src/cli/clioptions.cpp" line="238"/>
        <source>选项 &apos;%1&apos; 后缺少值。</source>
        <translation>Missing value after &apos;%1&apos;.</translation>
    </message>
    <message>
        <location filename="../src/cli/clioptions.cpp" line="240"/>
        <source>选项 &apos;%1&apos; 不带值。</source>
        <translation>Unexpected value after &apos;%1&apos;.</translation>
    </message>
    <message>
        <location filename="../src/cli/clioptions.cpp" line="244"/>
        <source>未知的选项 &apos;%1&apos;</source>
        <translation>Unknown option &apos;%1&apos;</translation>
    </message>
    <message>
        <location filename="../src/cli/clioptions.cpp" line="246"/>
        <source>未知的选项: %1</source>
        <translation>Unknown options: %1</translation>
    </message>
    <message>
        <location filename="../src/cli/clioptions.cpp" line="282"/>
        <source>%1
用法见 &apos;xqprog %2--help&apos;。</source>
        <translation>%1
Try &apos;xqprog %2--help&apos;.</translation>
    </message>
    <message>
        <location filename="../src/cli/clioptions.cpp" line="285"/>
        <source>没有给出命令
用法见 &apos;xqprog --help&apos;。</source>
        <translation>no command
Try &apos;xqprog --help&apos;.</translation>
    </message>
    <message>
        <location filename="../src/cli/clirunner.cpp" line="237"/>
        <source>追溯文件无法使用: %1</source>
        <translation>cannot use the trace file: %1</translation>
    </message>
    <message>
        <location filename="../src/cli/clirunner.cpp" line="268"/>
        <source>接口</source>
        <translation>interface</translation>
    </message>
    <message>
        <location filename="../src/cli/clirunner.cpp" line="268"/>
        <source>结果</source>
        <translation>result</translation>
    </message>
    <message>
        <location filename="../src/cli/clirunner.cpp" line="269"/>
        <source>用时 (秒)</source>
        <translation>seconds</translation>
    </message>
    <message>
        <location filename="../src/cli/clirunner.cpp" line="273"/>
        <source>成功</source>
        <comment>gang table</comment>
        <translation>ok</translation>
    </message>
    <message>
        <location filename="../src/cli/clirunner.cpp" line="274"/>
        <source>失败</source>
        <comment>gang table</comment>
        <translation>FAILED</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdchip.cpp" line="70"/>
        <source>info 只能在一个接口上运行</source>
        <translation>info runs on one interface</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdimage.cpp" line="39"/>
        <source>%1: --%2 与 --%3 互相排斥，只能给出其中一个</source>
        <translation>%1 --%2 and --%3 exclude each other: give one</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdimage.cpp" line="41"/>
        <source>%1 需要 --%2 或 --%3</source>
        <translation>%1 needs --%2 or --%3</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdimage.cpp" line="48"/>
        <source>Flash 地址 (十六进制，默认 0)。</source>
        <translation>The flash address (hexadecimal, default 0).</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdimage.cpp" line="101"/>
        <source>检查这么多字节。</source>
        <translation>Check this many bytes.</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdimage.cpp" line="102"/>
        <source>从起始地址检查到 Flash 末尾。</source>
        <translation>Check from the start address to the end of the flash.</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdimage.cpp" line="154"/>
        <source>先擦除什么: whole、file (镜像的大小，默认)、字节数，或 smart (先读取；只擦除和编程与镜像不同的扇区)。</source>
        <translation>What to erase first: whole, file (the image&apos;s size, the default), a byte count, or smart (read first; erase and program only the sectors that differ from the image).</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdimage.cpp" line="147"/>
        <source>完成后对 Flash 写保护。</source>
        <translation>Write-protect the flash afterwards.</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdimage.cpp" line="158"/>
        <source>从这个号起写入序列号 (十进制或 0x 十六进制)，每个芯片一个；最后显示下一个可用的号。</source>
        <translation>Stamp serial numbers from this one on (decimal or 0x hexadecimal), one per chip; the next free one is printed.</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdimage.cpp" line="162"/>
        <source>从这个计数文件取序列号 (一个十进制数，即下一个可用的号；文件不存在时从 --serial 或 1 开始)，本机所有的 xqprog 共用。</source>
        <translation>Take the serial numbers from this counter file (one decimal number, the next free one; a missing file starts at --serial or 1), shared by every xqprog on this PC.</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdimage.cpp" line="166"/>
        <source>写入序列号后读回序列号记录并比较: 记录不同则写入失败 (默认关闭；只在模拟测试台上运行过)。</source>
        <translation>After stamping, read the serial number record back and compare it: a record that differs fails the write (off by default; has only run on the simulated bench).</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdimage.cpp" line="173"/>
        <source>擦除整片。</source>
        <translation>Erase the whole chip.</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdimage.cpp" line="174"/>
        <source>擦除这么多字节。</source>
        <translation>Erase this many bytes.</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdimage.cpp" line="180"/>
        <source>读取这么多字节。</source>
        <translation>Read this many bytes.</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdimage.cpp" line="181"/>
        <source>从起始地址读到 Flash 末尾。</source>
        <translation>Read from the start address to the end of the flash.</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdimage.cpp" line="182"/>
        <source>同时显示已写入的序列号。</source>
        <translation>Also print the stamped serial number.</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdimage.cpp" line="199"/>
        <source>%1: %2 (whole、file、smart 或字节数)</source>
        <translation>%1: %2 (whole, file, smart or a byte count)</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdimage.cpp" line="207"/>
        <source>--check-serial 需要 --serial、--serial-file 或 --serial-counter</source>
        <translation>--check-serial needs --serial, --serial-file or --serial-counter</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdimage.cpp" line="278"/>
        <source>序列号: %1
</source>
        <translation>serial: %1
</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdlinedb.cpp" line="49"/>
        <source>序列号无效: %1</source>
        <translation>bad serial number: %1</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdjob.cpp" line="80"/>
        <location filename="../src/cli/cmdjob.cpp" line="85"/>
        <source>--from 从任务中取用全部配置: 不能再加 --%1</source>
        <translation>--from takes the whole recipe from the job: --%1 cannot be added</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdjob.cpp" line="111"/>
        <source>任务文件名须以 .xqjob 结尾: %1</source>
        <translation>a job file&apos;s name ends in .xqjob: %1</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdjob.cpp" line="113"/>
        <source>任务文件已存在: %1 (--force 可替换)</source>
        <translation>the job file exists: %1 (--force replaces it)</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdjob.cpp" line="117"/>
        <source>job create 需要 --image FILE</source>
        <translation>job create needs --image FILE</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdjob.cpp" line="134"/>
        <source>--serial 需要 --serial-file: 任务的序列号来自计数文件</source>
        <translation>--serial needs --serial-file: a job takes its serial numbers from a counter file</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdlinedb.cpp" line="44"/>
        <source>--serial-counter 需要 --line-db</source>
        <translation>--serial-counter needs --line-db</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdjob.cpp" line="22"/>
        <source>要写入的镜像 (必需)；与任务文件在同一目录时按相对路径保存。</source>
        <translation>The image to write (required); stored relative to the job file when it lies beside it.</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdjob.cpp" line="24"/>
        <source>任务名称 (默认: 任务文件名去掉 .xqjob)。</source>
        <translation>The job&apos;s name (default: the job file&apos;s name without .xqjob).</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdjob.cpp" line="25"/>
        <source>任意的描述。</source>
        <translation>A free description.</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdjob.cpp" line="26"/>
        <source>镜像的 Flash 地址 (十六进制，默认 0)。</source>
        <translation>The flash address of the image (hexadecimal, default 0).</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdjob.cpp" line="27"/>
        <source>先擦除什么: whole、file (默认)、smart 或字节数。</source>
        <translation>What to erase first: whole, file (the default), smart, or a byte count.</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdjob.cpp" line="30"/>
        <source>写入从这个计数文件取得的序列号。</source>
        <translation>Stamp serial numbers taken from this counter file.</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdjob.cpp" line="31"/>
        <source>与 --serial-file 一起: 计数文件不存在时的第一个号 (默认 1)。</source>
        <translation>With --serial-file: the first number when the counter file is missing (default 1).</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdjob.cpp" line="34"/>
        <source>读回每个写入的序列号记录并比较 (默认关闭；只在模拟测试台上运行过)。</source>
        <translation>Read each stamped serial number record back and compare it (off by default; has only run on the simulated bench).</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdjob.cpp" line="35"/>
        <source>同时写入按这个工作簿布局的静态数据记录。</source>
        <translation>Also write the static data record laid out by this workbook.</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdstatic.cpp" line="120"/>
        <source>记录的 Flash 地址 (十六进制；默认取工作簿的，否则为 1FF000)。</source>
        <translation>The flash address of the record (hexadecimal; default the workbook&apos;s, else 1FF000).</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdstatic.cpp" line="125"/>
        <source>记录的总字节数 (默认: 已用长度 + 20，向上取整为 4 的倍数)。</source>
        <translation>The record&apos;s total size in bytes (default: its used length + 20, rounded up to 4).</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdjob.cpp" line="38"/>
        <source>写入工作簿的默认值或当前值 (默认: default)。</source>
        <translation>Write the workbook&apos;s default or current values (default: default).</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdjob.cpp" line="40"/>
        <source>最后加一个校验步骤: 读回镜像并比较，不写入任何内容。</source>
        <translation>End with a verify step: the image read back and compared, nothing written.</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdjob.cpp" line="42"/>
        <source>从这个任务文件取用全部配置 (也可以是没有格式版本和校验和的旧格式，其文件必须仍是它所记录的)，重新写出。</source>
        <translation>Take the whole recipe from this job file, also one of the older format without format version and checksum, whose files must still be the ones it names; writes it anew.</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdjob.cpp" line="46"/>
        <source>把任务每次运行的每个芯片记录到这个产线数据库 (sqlite:PATH 或 postgresql://user@host:port/dbname；不含密码: 密码来自 PGPASSFILE 或 ~/.pgpass)。</source>
        <translation>Record every chip of the job&apos;s runs in this line database (sqlite:PATH or postgresql://user@host:port/dbname; never a password: it comes from PGPASSFILE or ~/.pgpass).</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdjob.cpp" line="51"/>
        <source>与 --line-db 一起: 写入从数据库的这个计数器取得的序列号 (代替 --serial-file)。</source>
        <translation>With --line-db: stamp serial numbers taken from this counter of the database (instead of --serial-file).</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdjob.cpp" line="54"/>
        <source>替换已有的任务文件。</source>
        <translation>Replace an existing job file.</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdjob.cpp" line="138"/>
        <source>--serial-counter 与 --serial-file: 任务的序列号只能来自其中之一</source>
        <translation>--serial-counter and --serial-file: a job takes its serial numbers from one of them</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdjob.cpp" line="143"/>
        <source>--check-serial 需要 --serial-file 或 --serial-counter</source>
        <translation>--check-serial needs --serial-file or --serial-counter</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdjob.cpp" line="152"/>
        <source>--static-start、--static-total 和 --static-values 需要 --static WORKBOOK</source>
        <translation>--static-start, --static-total and --static-values need --static WORKBOOK</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdjob.cpp" line="159"/>
        <source>--static-values 无效: %1</source>
        <translation>bad --static-values: %1</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdjob.cpp" line="181"/>
        <source>状态: 拒绝运行
</source>
        <translation>status: refused
</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdjob.cpp" line="184"/>
        <source>状态: 可以运行
</source>
        <translation>status: ready
</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdjob.cpp" line="196"/>
        <source>--rate: 速率由任务设定 (%1)</source>
        <translation>--rate: the job sets the rate (%1)</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdjob.cpp" line="198"/>
        <source>--batch-programs: 页编程的发送方式由任务设定 (逐个发送)</source>
        <translation>--batch-programs: the job sets how page programs are sent (one by one)</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdjob.cpp" line="203"/>
        <source>--serial-counter: 该任务不写序列号</source>
        <translation>--serial-counter: the job stamps no serial numbers</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdlinedb.cpp" line="18"/>
        <source>把每个芯片记录到这个产线数据库 (sqlite:PATH 或 postgresql://user@host:port/dbname；密码来自 PGPASSFILE 或 ~/.pgpass)。</source>
        <translation>Record every chip in this line database (sqlite:PATH or postgresql://user@host:port/dbname; the password from PGPASSFILE or ~/.pgpass).</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdlinedb.cpp" line="20"/>
        <source>与 --line-db 一起: 写入从数据库的这个计数器取得的序列号。</source>
        <translation>With --line-db: stamp serial numbers taken from this counter of the database.</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdlinedb.cpp" line="25"/>
        <location filename="../src/cli/cmdlinedb.cpp" line="32"/>
        <source>产线数据库。</source>
        <translation>The line database.</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdlinedb.cpp" line="26"/>
        <source>只统计这个日期或时间以来的芯片 (ISO 8601，UTC: 2026-12-09 或 2026-12-09T08:00)。</source>
        <translation>Only chips since this date or time (ISO 8601, UTC: 2026-12-09 or 2026-12-09T08:00).</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdlinedb.cpp" line="27"/>
        <source>只统计这个任务的芯片。</source>
        <translation>Only the chips of this job.</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdlinedb.cpp" line="37"/>
        <source>要建立的序列号计数器 (或要调高其最后一个号的计数器)。</source>
        <translation>The serial counter to create (or whose last number to raise).</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdlinedb.cpp" line="38"/>
        <source>计数器的第一个号。</source>
        <translation>The counter&apos;s first number.</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdlinedb.cpp" line="39"/>
        <source>计数器的最后一个号。</source>
        <translation>The counter&apos;s last number.</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdlinedb.cpp" line="67"/>
        <source>--serial-counter 不能与 --serial 或 --serial-file 同时使用</source>
        <translation>--serial-counter cannot be used with --serial or --serial-file</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdlinedb.cpp" line="82"/>
        <source>line-db init 需要 --counter NAME --first N --last M</source>
        <translation>line-db init needs --counter NAME --first N --last M</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdlinedb.cpp" line="94"/>
        <source>计数器 %1: %2 .. %3
</source>
        <translation>counter %1: %2 .. %3
</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdlinedb.cpp" line="110"/>
        <source>已发送 %1，剩余 %2 (%3)
</source>
        <translation>sent %1, left %2 (%3)
</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdlinedb.cpp" line="120"/>
        <source>成功</source>
        <comment>record</comment>
        <translation>ok</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdlinedb.cpp" line="122"/>
        <source>失败</source>
        <comment>record</comment>
        <translation>failed</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdlinedb.cpp" line="124"/>
        <source>未执行</source>
        <comment>record</comment>
        <translation>refused</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdlinedb.cpp" line="126"/>
        <source>已取</source>
        <comment>record</comment>
        <translation>taken</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdlinedb.cpp" line="128"/>
        <source>已写入</source>
        <comment>record</comment>
        <translation>stamped</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdlinedb.cpp" line="130"/>
        <source>未写入</source>
        <comment>record</comment>
        <translation>not stamped</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdlinedb.cpp" line="137"/>
        <source>此命令需要 --line-db URL</source>
        <translation>this command needs --line-db URL</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdlinedb.cpp" line="150"/>
        <source>日期无效: %1 (2026-12-09 或 2026-12-09T08:00)</source>
        <translation>bad date: %1 (2026-12-09 or 2026-12-09T08:00)</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdlinedb.cpp" line="171"/>
        <source>工位</source>
        <translation>station</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdlinedb.cpp" line="171"/>
        <source>任务</source>
        <translation>job</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdlinedb.cpp" line="172"/>
        <source>成功</source>
        <comment>report heading</comment>
        <translation>passed</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdlinedb.cpp" line="173"/>
        <source>失败</source>
        <comment>report heading</comment>
        <translation>failed</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdlinedb.cpp" line="174"/>
        <source>良率</source>
        <translation>yield</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdlinedb.cpp" line="182"/>
        <source>计数器 %1: %2 .. %3，已取 %4 个，已写入 %5 个
</source>
        <translation>counter %1: %2 .. %3, %4 taken, %5 stamped
</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdlinedb.cpp" line="211"/>
        <source>%1 %2 %3 %4 %5 序列号 %6 %7
</source>
        <translation>%1 %2 %3 %4 %5 serial %6 %7
</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdlinedb.cpp" line="221"/>
        <source>序列号 %1 (%2): %3，工位 %4
</source>
        <translation>serial %1 (%2): %3 at %4
</translation>
    </message>
    <message>
        <location filename="../src/cli/cmdlinedb.cpp" line="225"/>
        <source>没有记录
</source>
        <translation>no records
</translation>
    </message>
    <message>
        <location filename="../src/cli/xqprog.cpp" line="30"/>
        <source>每行一个适配器: 名称、序列号、描述和端口路径 (以制表符分隔)。</source>
        <translation>One adapter per line: name, serial number, description and port path (tab-separated).</translation>
    </message>
    <message>
        <location filename="../src/cli/xqprog.cpp" line="32"/>
        <source>芯片型号和 Flash 的识别信息。</source>
        <translation>The chip model and the flash identification.</translation>
    </message>
    <message>
        <location filename="../src/cli/xqprog.cpp" line="34"/>
        <source>擦除、编程、校验 (含扇区修复)，可选写保护和写入序列号。</source>
        <translation>Erase, program, verify (with sector repair), optionally protect and stamp a serial number.</translation>
    </message>
    <message>
        <location filename="../src/cli/xqprog.cpp" line="36"/>
        <source>擦除整片或一段范围。</source>
        <translation>Erase the whole chip or a range.</translation>
    </message>
    <message>
        <location filename="../src/cli/xqprog.cpp" line="38"/>
        <source>把一段 Flash 读入文件。</source>
        <translation>Read a flash range into a file.</translation>
    </message>
    <message>
        <location filename="../src/cli/xqprog.cpp" line="41"/>
        <source>比较 Flash 与镜像；不擦除也不编程。不一致时退出码为 1。</source>
        <translation>Compare the flash with an image; erases and programs nothing. Exit 1 when they differ.</translation>
    </message>
    <message>
        <location filename="../src/cli/xqprog.cpp" line="44"/>
        <source>检查一段 Flash 是否全为 0xFF。不是时退出码为 1。</source>
        <translation>Check that a flash range reads all 0xFF. Exit 1 when it does not.</translation>
    </message>
    <message>
        <location filename="../src/cli/xqprog.cpp" line="45"/>
        <source>软复位芯片。</source>
        <translation>Soft-reset the chip.</translation>
    </message>
    <message>
        <location filename="../src/cli/xqprog.cpp" line="48"/>
        <source>写入按工作簿布局的静态数据记录。</source>
        <translation>Write the static data record laid out by the workbook.</translation>
    </message>
    <message>
        <location filename="../src/cli/xqprog.cpp" line="50"/>
        <source>读取静态数据记录；每项一行: 工作表、项、名称、数值。</source>
        <translation>Read the static data record; one line per item: sheet, item, name, value.</translation>
    </message>
    <message>
        <location filename="../src/cli/xqprog.cpp" line="52"/>
        <source>写出一个空的布局工作簿作为起点。</source>
        <translation>Write an empty layout workbook to start from.</translation>
    </message>
    <message>
        <location filename="../src/cli/xqprog.cpp" line="58"/>
        <source>写入生产任务 (NAME.xqjob): 完整的配置及各文件的 SHA-256。</source>
        <translation>Write a production job (NAME.xqjob): the whole recipe, with the files&apos; SHA-256.</translation>
    </message>
    <message>
        <location filename="../src/cli/xqprog.cpp" line="60"/>
        <source>显示任务及其是否可以运行。</source>
        <translation>Print a job and whether it is ready to run.</translation>
    </message>
    <message>
        <location filename="../src/cli/xqprog.cpp" line="61"/>
        <source>建立产线数据库的结构和一个序列号计数器。</source>
        <translation>Create the line database&apos;s schema and a serial counter.</translation>
    </message>
    <message>
        <location filename="../src/cli/xqprog.cpp" line="64"/>
        <source>每个工位和任务的成功数、失败数和良率，以及已用的序列号。</source>
        <translation>Passed, failed and yield per station and job, and the serial numbers used.</translation>
    </message>
    <message>
        <location filename="../src/cli/xqprog.cpp" line="66"/>
        <source>一个芯片的全部记录。</source>
        <translation>Every record of one chip.</translation>
    </message>
    <message>
        <location filename="../src/cli/xqprog.cpp" line="68"/>
        <source>发送产线数据库无法连接时留在缓存中的记录。</source>
        <translation>Send the records kept in the spool while the line database was unreachable.</translation>
    </message>
    <message>
        <location filename="../src/cli/xqprog.cpp" line="70"/>
        <source>完整检查任务，然后在每个选定的适配器上运行其步骤。</source>
        <translation>Check a job whole, then run its steps on every chosen adapter.</translation>
    </message>
    <message>
        <location filename="../src/cli/xqprog.cpp" line="125"/>
        <source>无法写入标准输出: %1</source>
        <translation>cannot write standard output: %1</translation>
    </message>
    <message>
        <location filename="../src/cli/xqprog.cpp" line="193"/>
        <source>%1 需要 %2</source>
        <translation>%1 needs %2</translation>
    </message>
    <message>
        <location filename="../src/cli/xqprog.cpp" line="197"/>
        <source>多余的参数: %1</source>
        <translation>unexpected argument: %1</translation>
    </message>
    <message>
        <location filename="../src/cli/xqprog.cpp" line="275"/>
        <source>未知的语言: %1 (zh 或 en)</source>
        <translation>unknown language: %1 (zh or en)</translation>
    </message>
    <message>
        <location filename="../src/cli/xqprog.cpp" line="297"/>
        <source>模拟测试台 %1: 不烧写真实的芯片</source>
        <translation>simulated bench %1: no real chip is programmed</translation>
    </message>
    <message>
        <location filename="../src/cli/xqprog.cpp" line="318"/>
        <source>没有找到接口: 请检查USB线、udev规则 60-xqprogrammer.rules，以及您是否在 plugdev 组中 (--simulate 使用模拟测试台)</source>
        <translation>no interface found: check the USB cable, the udev rule 60-xqprogrammer.rules and that you are in the plugdev group (--simulate uses the simulated bench)</translation>
    </message>
    <message>
        <location filename="../src/cli/cliprogress.cpp" line="41"/>
        <source>%1 字节，用时 %2 s (%3 KiB/s)</source>
        <translation>%1 bytes in %2 s (%3 KiB/s)</translation>
    </message>
    <message>
        <location filename="../src/cli/cliprogress.cpp" line="50"/>
        <source>擦除</source>
        <comment>progress phase</comment>
        <translation>erase</translation>
    </message>
    <message>
        <location filename="../src/cli/cliprogress.cpp" line="52"/>
        <source>编程</source>
        <comment>progress phase</comment>
        <translation>program</translation>
    </message>
    <message>
        <location filename="../src/cli/cliprogress.cpp" line="54"/>
        <source>校验</source>
        <comment>progress phase</comment>
        <translation>verify</translation>
    </message>
    <message>
        <location filename="../src/cli/cliprogress.cpp" line="56"/>
        <source>读取</source>
        <comment>progress phase</comment>
        <translation>read</translation>
    </message>
    <message>
        <location filename="../src/cli/cliprogress.cpp" line="90"/>
        <source>%1/%2 字节 %3 KiB/s</source>
        <translation>%1/%2 bytes %3 KiB/s</translation>
    </message>
</context>
<context>
    <name>xqprogrammer</name>
    <message>
        <location filename="../src/app/main.cpp" line="59"/>
        <source>Qt 自带的中文文本缺失 (软件包 qttranslations5-l10n): 对话框仍为英文</source>
        <translation>Qt&apos;s Chinese texts are missing (package qttranslations5-l10n): dialogs stay English</translation>
    </message>
    <message>
        <location filename="../src/app/main.cpp" line="77"/>
        <source>未知的选项 %1</source>
        <translation>unknown option %1</translation>
    </message>
</context>
</TS>
