#include "libraryidentity.h"

const char *const readerFunctionNames[readerFunctionCount] = {
    "VRK_OpenDev", "VRK_ReadCarNo", "VRK_ReadCardBas", "VRK_ReadCardCertID",
    "VRK_ReadCardCity", "VRK_IDCard_Read", "VRK_ICBankCard_ReadNO", "VRK_MagicBankCard_ReadNo",
    "VRK_ECard_SetAutoRead", "VRK_ECard_Read", "VRK_ECard_AutoReadTime", "VRK_MagCardRead",
    "VRK_KeyBoard_InputKey",
};

QStringList readerFunctions(unsigned exported, bool present)
{
    QStringList names;
    for (int i = 0; i < readerFunctionCount; ++i) {
        if (bool(exported & (1u << i)) == present)
            names << QString::fromLatin1(readerFunctionNames[i]);
    }
    return names;
}

QStringList lackedFunctions(unsigned lacking, const QString (&elsewhere)[readerFunctionCount])
{
    QStringList names;
    for (int i = 0; i < readerFunctionCount; ++i) {
        if (!(lacking & (1u << i)))
            continue;
        const QString name = QString::fromLatin1(readerFunctionNames[i]);
        names << (elsewhere[i].isEmpty() ? name : name + " (" + elsewhere[i] + ')');
    }
    return names;
}
