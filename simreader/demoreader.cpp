#include "demoreader.h"

#include "buffersizes.h"
#include "readertext.h"

#include <cstdio>
#include <cstring>

namespace Demo {

namespace {

struct Reader
{
    bool open = false;
    int deviceType = 0;
    char region[5] = {};
    int scanMode = 1;
    int scanIntervalMs = 2000;
    unsigned scanCount = 0;
};

Reader reader;

int fail(char *error, const char *message)
{
    putText(error, errorSize, message);
    return -1;
}

bool isOpen(char *error)
{
    if (reader.open)
        return true;
    fail(error, "设备未打开，请先选择设备类型和地区并打开设备");
    return false;
}

bool isSupportedRegion(const char *code)
{
    return code && strnlen(code, regionCodeSize) == 4 && std::strncmp(code, "350", 3) == 0
        && code[3] >= '0' && code[3] <= '9';
}

} // namespace

int openDev(int deviceType, char *regionCode, char *error)
{
    char message[errorSize];
    if (deviceType != 21 && deviceType != 19) {
        std::snprintf(message, sizeof message,
                      "不支持的设备类型：%d（模拟读卡器支持 21 和 19）", deviceType);
        return fail(error, message);
    }
    if (!isSupportedRegion(regionCode)) {
        char shown[regionCodeSize] = {};
        if (regionCode)
            std::memcpy(shown, regionCode, strnlen(regionCode, sizeof shown - 1));
        std::snprintf(message, sizeof message,
                      "不支持的地区编码：%s（模拟读卡器支持 3500 至 3509）", shown);
        return fail(error, message);
    }
    reader.open = true;
    reader.deviceType = deviceType;
    std::memcpy(reader.region, regionCode, 4);
    return 0;
}

void openAsScripted(int deviceType, char *regionCode)
{
    char ignored[errorSize];
    openDev(deviceType, regionCode, ignored);
}

int readCarNo(char *cardNumber, char *error)
{
    if (!isOpen(error))
        return -1;
    putText(cardNumber, valueSize, "SIM350000001");
    return 0;
}

int readCardBas(char *cardIdCode, char *cardType, char *cardVersion, char *issuerCode,
                    char *issueDate, char *validity, char *cardNumber, char *idNumber,
                    char *name, char *sex, char *ethnicGroup, char *birthPlace,
                    char *birthDate, char *error)
{
    if (!isOpen(error))
        return -1;
    putText(cardIdCode, valueSize, "350000D156000005SIM0000001");
    putText(cardType, valueSize, "3");
    putText(cardVersion, valueSize, "3.00");
    putText(issuerCode, valueSize, "350000SIM");
    putText(issueDate, valueSize, "20240101");
    putText(validity, valueSize, "20340101");
    putText(cardNumber, valueSize, "SIM350000001");
    putText(idNumber, valueSize, "350000199001010018");
    putText(name, valueSize, "张演示");
    putText(sex, valueSize, "男");
    putText(ethnicGroup, valueSize, "汉");
    putText(birthPlace, valueSize, "福建省演示市示例路1号");
    putText(birthDate, valueSize, "19900101");
    return 0;
}

int readCardCertId(char *cardNumber, char *cardIdCode, char *error)
{
    if (!isOpen(error))
        return -1;
    putText(cardNumber, valueSize, "SIM350000001");
    putText(cardIdCode, valueSize, "350000D156000005SIM0000001");
    return 0;
}

int readCardCity(char *regionCode, char *error)
{
    if (!isOpen(error))
        return -1;
    char code[16];
    std::snprintf(code, sizeof code, "%s00", reader.region);
    putText(regionCode, valueSize, code);
    return 0;
}

int readIdCard(char *name, char *sex, char *ethnicGroup, char *birthDate,
                    char *birthPlace, char *idNumber, char *authority, char *validity,
                    char *validUntil, char *error)
{
    if (!isOpen(error))
        return -1;
    putText(name, valueSize, "李演示");
    putText(sex, valueSize, "女");
    putText(ethnicGroup, valueSize, "汉");
    putText(birthDate, valueSize, "19920315");
    putText(birthPlace, longValueSize, "福建省演示市示例区演示街道示例路88号");
    putText(idNumber, valueSize, "350000199203150000");
    putText(authority, longValueSize, "福建省演示市公安局示例区分局");
    putText(validity, valueSize, "20200101-20400101");
    putText(validUntil, valueSize, "20400101");
    return 0;
}

int readChipBankCard(char *cardNumber, char *error)
{
    if (!isOpen(error))
        return -1;
    putText(cardNumber, valueSize, "6200000000000000091");
    return 0;
}

int readStripeBankCard(int timeout, char *cardNumber, char *error)
{
    if (!isOpen(error))
        return -1;
    if (timeout <= 0)
        return fail(error, "刷卡超时：未检测到磁条卡");
    putText(cardNumber, textSize, "6200000000000000042");
    return 0;
}

int setScanMode(int mode, char *error)
{
    if (!isOpen(error))
        return -1;
    if (mode != 0 && mode != 1) {
        char message[errorSize];
        std::snprintf(message, sizeof message, "不支持的扫码模式：%d", mode);
        return fail(error, message);
    }
    reader.scanMode = mode;
    return 0;
}

int scan(int *output, char *scan, int waitMs, char *error)
{
    if (!isOpen(error))
        return -1;
    if (waitMs <= 0) {
        char message[errorSize];
        std::snprintf(message, sizeof message, "扫码超时：等待时间为 %d 毫秒", waitMs);
        return fail(error, message);
    }
    char code[textSize];
    std::snprintf(code, sizeof code, "SIMQR%04u（%s扫码模式，自动扫码间隔 %d 毫秒）",
                  ++reader.scanCount % 10000, reader.scanMode ? "自动" : "手动",
                  reader.scanIntervalMs);
    putText(scan, textSize, code);
    if (output)
        *output = scan ? int(std::strlen(scan)) : 0;
    return 0;
}

int setScanInterval(int intervalMs, char *error)
{
    if (!isOpen(error))
        return -1;
    if (intervalMs <= 0) {
        char message[errorSize];
        std::snprintf(message, sizeof message, "自动扫码间隔无效：%d 毫秒", intervalMs);
        return fail(error, message);
    }
    reader.scanIntervalMs = intervalMs;
    return 0;
}

int readTracks(int timeout, char *track1, char *track2, char *track3, char *track4,
                    char *error)
{
    if (!isOpen(error))
        return -1;
    if (timeout <= 0)
        return fail(error, "刷卡超时：未检测到磁条卡");
    putText(track1, textSize, "6200000000000000042=30121010000000000");
    putText(track2, textSize, "%B6200000000000000042^YANSHI/ZHANG^3012101?");
    putText(track3, textSize, "996200000000000000042=156156000000000000000300000021400003012=0000");
    putText(track4, textSize, "");
    return 0;
}

int inputKey(int timeout, int keySize, char *key, int *output, char *error)
{
    if (!isOpen(error))
        return -1;
    if (timeout <= 0)
        return fail(error, "输入密码超时");
    if (keySize > 0)
        putText(key, std::size_t(keySize), "8F3A1C0D5E7B9264");
    if (output)
        *output = 6;
    return 0;
}

} // namespace Demo
