#include "operations.h"

#include "buffersizes.h"

namespace {

// Each operation is named as the command line takes it; in Chinese the
// catalogue gives, under the same name, the text of the window's button
// that makes the same call, which people read beside it.
GuardedCall readCardNumber(const ReaderLibrary &reader, const Settings &)
{
    GuardedCall call(QT_TRANSLATE_NOOP("WindowButton", "card-number"), "VRK_ReadCarNo");
    char *cardNumber = call.value("card_number", valueSize);
    char *error = call.error();
    call.run(reader.VRK_ReadCarNo, cardNumber, error);
    return call;
}

GuardedCall readCardInfo(const ReaderLibrary &reader, const Settings &)
{
    GuardedCall call(QT_TRANSLATE_NOOP("WindowButton", "card-info"), "VRK_ReadCardBas");
    char *cardIdCode = call.value("card_id_code", valueSize);
    char *cardType = call.value("card_type", valueSize);
    char *cardVersion = call.value("card_version", valueSize);
    char *issuerCode = call.value("issuer_code", valueSize);
    char *issueDate = call.value("issue_date", valueSize);
    char *validity = call.value("validity", valueSize);
    char *cardNumber = call.value("card_number", valueSize);
    char *idNumber = call.value("id_number", valueSize);
    char *name = call.value("name", valueSize);
    char *sex = call.value("sex", valueSize);
    char *ethnicGroup = call.value("ethnic_group", valueSize);
    char *birthPlace = call.value("birth_place", valueSize);
    char *birthDate = call.value("birth_date", valueSize);
    char *error = call.error();
    call.run(reader.VRK_ReadCardBas, cardIdCode, cardType, cardVersion, issuerCode, issueDate,
             validity, cardNumber, idNumber, name, sex, ethnicGroup, birthPlace, birthDate,
             error);
    return call;
}

GuardedCall readCardIdCode(const ReaderLibrary &reader, const Settings &)
{
    GuardedCall call(QT_TRANSLATE_NOOP("WindowButton", "card-id-code"), "VRK_ReadCardCertID");
    char *cardNumber = call.value("card_number", valueSize);
    char *cardIdCode = call.value("card_id_code", valueSize);
    char *error = call.error();
    call.run(reader.VRK_ReadCardCertID, cardNumber, cardIdCode, error);
    return call;
}

GuardedCall readCardRegion(const ReaderLibrary &reader, const Settings &)
{
    GuardedCall call(QT_TRANSLATE_NOOP("WindowButton", "card-region"), "VRK_ReadCardCity");
    char *regionCode = call.value("region_code", valueSize);
    char *error = call.error();
    call.run(reader.VRK_ReadCardCity, regionCode, error);
    return call;
}

GuardedCall readIdCard(const ReaderLibrary &reader, const Settings &)
{
    GuardedCall call(QT_TRANSLATE_NOOP("WindowButton", "id-card"), "VRK_IDCard_Read");
    char *name = call.value("name", valueSize);
    char *sex = call.value("sex", valueSize);
    char *ethnicGroup = call.value("ethnic_group", valueSize);
    char *birthDate = call.value("birth_date", valueSize);
    char *birthPlace = call.value("birth_place", longValueSize);
    char *idNumber = call.value("id_number", valueSize);
    char *authority = call.value("authority", longValueSize);
    char *validity = call.value("validity", valueSize);
    char *validUntil = call.value("valid_until", valueSize);
    char *error = call.error();
    call.run(reader.VRK_IDCard_Read, name, sex, ethnicGroup, birthDate, birthPlace, idNumber,
             authority, validity, validUntil, error);
    return call;
}

GuardedCall readChipBankCard(const ReaderLibrary &reader, const Settings &)
{
    GuardedCall call(QT_TRANSLATE_NOOP("WindowButton", "bank-chip"), "VRK_ICBankCard_ReadNO");
    char *cardNumber = call.value("card_number", valueSize);
    char *error = call.error();
    call.run(reader.VRK_ICBankCard_ReadNO, cardNumber, error);
    return call;
}

GuardedCall readStripeBankCard(const ReaderLibrary &reader, const Settings &)
{
    GuardedCall call(QT_TRANSLATE_NOOP("WindowButton", "bank-stripe"), "VRK_MagicBankCard_ReadNo");
    const int timeout = call.argument("timeout", 10);
    call.waitsUpTo(timeout * 1000);
    char *cardNumber = call.value("card_number", textSize);
    char *error = call.error();
    call.run(reader.VRK_MagicBankCard_ReadNo, timeout, cardNumber, error);
    return call;
}

GuardedCall setAutomaticScan(const ReaderLibrary &reader, const Settings &)
{
    GuardedCall call(QT_TRANSLATE_NOOP("WindowButton", "scan-auto"), "VRK_ECard_SetAutoRead");
    const int mode = call.argument("mode", 1);
    char *error = call.error();
    call.run(reader.VRK_ECard_SetAutoRead, mode, error);
    return call;
}

GuardedCall setManualScan(const ReaderLibrary &reader, const Settings &)
{
    GuardedCall call(QT_TRANSLATE_NOOP("WindowButton", "scan-manual"), "VRK_ECard_SetAutoRead");
    const int mode = call.argument("mode", 0);
    char *error = call.error();
    call.run(reader.VRK_ECard_SetAutoRead, mode, error);
    return call;
}

GuardedCall scan(const ReaderLibrary &reader, const Settings &settings)
{
    GuardedCall call(QT_TRANSLATE_NOOP("WindowButton", "scan"), "VRK_ECard_Read");
    int *output = call.output("output");
    char *scan = call.value("scan", textSize);
    const int wait = call.argument("wait", settings.scannerMilliseconds);
    call.waitsUpTo(wait);
    char *error = call.error();
    call.run(reader.VRK_ECard_Read, output, scan, wait, error);
    return call;
}

GuardedCall setScanInterval(const ReaderLibrary &reader, const Settings &settings)
{
    GuardedCall call(QT_TRANSLATE_NOOP("WindowButton", "scan-interval"), "VRK_ECard_AutoReadTime");
    const int interval = call.argument("interval", settings.scannerMilliseconds);
    char *error = call.error();
    call.run(reader.VRK_ECard_AutoReadTime, interval, error);
    return call;
}

GuardedCall readTracks(const ReaderLibrary &reader, const Settings &)
{
    GuardedCall call(QT_TRANSLATE_NOOP("WindowButton", "tracks"), "VRK_MagCardRead");
    const int timeout = call.argument("timeout", 10);
    call.waitsUpTo(timeout * 1000);
    // Named as the window labels them: the first buffer holds the second
    // track, the third the third; the window never shows the other two.
    char *track2 = call.value("track_2", textSize);
    char *unshown2 = call.value("unshown_buffer_2", textSize);
    char *track3 = call.value("track_3", textSize);
    char *unshown4 = call.value("unshown_buffer_4", textSize);
    char *error = call.error();
    call.run(reader.VRK_MagCardRead, timeout, track2, unshown2, track3, unshown4, error);
    return call;
}

GuardedCall enterPin(const ReaderLibrary &reader, const Settings &)
{
    GuardedCall call(QT_TRANSLATE_NOOP("WindowButton", "pin"), "VRK_KeyBoard_InputKey");
    const int timeout = call.argument("timeout", 20);
    call.waitsUpTo(timeout * 1000);
    const int keySize = call.argument("key_size", int(textSize));
    char *key = call.secret("key", textSize);
    int *output = call.output("output");
    char *error = call.error();
    call.run(reader.VRK_KeyBoard_InputKey, timeout, keySize, key, output, error);
    return call;
}

} // namespace

GuardedCall openDevice(const ReaderLibrary &reader, const Settings &settings)
{
    GuardedCall call(QT_TRANSLATE_NOOP("WindowButton", "open"), "VRK_OpenDev");
    const int deviceType = call.argument("device_type", settings.deviceType);
    char *regionCode = call.textArgument("region_code", regionCodeSize, settings.regionCode);
    char *error = call.error();
    call.run(reader.VRK_OpenDev, deviceType, regionCode, error);
    return call;
}

const Operation operations[13] = {
    {"card-number", readCardNumber, true},
    {"card-info", readCardInfo, true},
    {"card-id-code", readCardIdCode, true},
    {"card-region", readCardRegion, true},
    {"id-card", readIdCard, true},
    {"bank-chip", readChipBankCard, true},
    {"bank-stripe", readStripeBankCard, true},
    {"scan-auto", setAutomaticScan, false},
    {"scan-manual", setManualScan, false},
    {"scan", scan, true},
    {"scan-interval", setScanInterval, false},
    {"tracks", readTracks, true},
    {"pin", enterPin, true},
};

const Operation *findOperation(const QByteArray &name)
{
    for (const Operation &operation : operations) {
        if (name == operation.name)
            return &operation;
    }
    return nullptr;
}
