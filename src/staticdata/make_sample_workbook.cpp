// Writes the default static data layout shipped with the program: a version
// number, a serial text, a calibration value and a few flags.
#include <staticlayout.h>
#include <workbookformat.h>
#include <workbookwriter.h>

#include <cstdio>

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.xlsx\n", argv[0]);
        return 2;
    }
    using namespace workbook;
    const QVector<QVariant> heading = HeadingRow();
    xlsx_config location;
    location.start_address = 0x1FF000;
    const xlsx::SheetData config = ConfigSheet(location);
    xlsx::SheetData device{"Device",
                           {heading,
                            {1, "fw_version", "固件版本", "uint32_t", 1, FormatName(kFmtHex), "0x00030000", ReadOnlyMark(), "固件版本号"},
                            {2, "hw_revision", "硬件版本", "uint8_t", 1, FormatName(kFmtUnsigned), "2", ReadOnlyMark(), "硬件版本"},
                            {3, "serial", "序列号", "string", 16, FormatName(kFmtString), "XQ-000001", QVariant(), "产品序列号"},
                            {4, "calibration", "校准系数", "double", 1, FormatName(kFmtFloat), "1.0025", QVariant(), "ADC校准系数"},
                            {5, "trim", "微调", "uint16_t", 2, FormatName(kFmtDecimal), "-5 12", QVariant(), "两路微调值"}}};
    xlsx::SheetData flags{"Flags",
                          {heading,
                           {1, "watchdog", "看门狗", "bool", 1, FormatName(kFmtYesNo), "1", QVariant(), "启用看门狗"},
                           {2, "uart_log", "串口日志", "bool", 1, FormatName(kFmtYesNo), "0", QVariant(), "启用串口日志"},
                           {3, "boot_mode", "启动模式", "uint8_t", 1, FormatName(kFmtUnsigned), "0", QVariant(), "0 正常, 1 升级"}}};
    QString strError;
    if (!xlsx::WriteWorkbook(QString::fromLocal8Bit(argv[1]), {config, device, flags}, strError)) {
        std::fprintf(stderr, "%s\n", qPrintable(strError));
        return 1;
    }
    return 0;
}
