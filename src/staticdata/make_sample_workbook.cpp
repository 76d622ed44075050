// Writes the default static data layout shipped with the program: a version
// number, a serial text, a calibration value and a few flags.
#include <workbookwriter.h>

#include <cstdio>

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.xlsx\n", argv[0]);
        return 2;
    }
    const QVector<QVariant> heading{"序号", "名称", "数据名称", "数据类型", "数量", "数值格式", "默认值", "只读", "描述"};
    xlsx::SheetData config{"xq_config", {{"start_address", "1ff000"}, {"storage", "normal"}, {"otp", false}}};
    xlsx::SheetData device{"Device",
                           {heading,
                            {1, "fw_version", "固件版本", "uint32_t", 1, "十六进制数", "0x00030000", "只读", "固件版本号"},
                            {2, "hw_revision", "硬件版本", "uint8_t", 1, "十进制正整数", "2", "只读", "硬件版本"},
                            {3, "serial", "序列号", "string", 16, "字符串", "XQ-000001", QVariant(), "产品序列号"},
                            {4, "calibration", "校准系数", "double", 1, "浮点数", "1.0025", QVariant(), "ADC校准系数"},
                            {5, "trim", "微调", "uint16_t", 2, "十进制数", "-5 12", QVariant(), "两路微调值"}}};
    xlsx::SheetData flags{"Flags",
                          {heading,
                           {1, "watchdog", "看门狗", "bool", 1, "是/否", "1", QVariant(), "启用看门狗"},
                           {2, "uart_log", "串口日志", "bool", 1, "是/否", "0", QVariant(), "启用串口日志"},
                           {3, "boot_mode", "启动模式", "uint8_t", 1, "十进制正整数", "0", QVariant(), "0 正常, 1 升级"}}};
    QString strError;
    if (!xlsx::WriteWorkbook(QString::fromLocal8Bit(argv[1]), {config, device, flags}, strError)) {
        std::fprintf(stderr, "%s\n", qPrintable(strError));
        return 1;
    }
    return 0;
}
