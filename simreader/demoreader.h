#ifndef SIMREADER_DEMOREADER_H
#define SIMREADER_DEMOREADER_H

// The demo reader: plainly fictitious data once a supported device type and
// region have been opened; it keeps the scanner's mode and interval. Each
// function has the signature of the reader function that it plays.
namespace Demo {

int openDev(int deviceType, char *regionCode, char *error);
// A scripted open that succeeded: the demo reader opens with the same
// choices, if it supports them, and its own error text goes nowhere.
void openAsScripted(int deviceType, char *regionCode);
int readCarNo(char *cardNumber, char *error);
int readCardBas(char *cardIdCode, char *cardType, char *cardVersion, char *issuerCode,
                char *issueDate, char *validity, char *cardNumber, char *idNumber, char *name,
                char *sex, char *ethnicGroup, char *birthPlace, char *birthDate, char *error);
int readCardCertId(char *cardNumber, char *cardIdCode, char *error);
int readCardCity(char *regionCode, char *error);
int readIdCard(char *name, char *sex, char *ethnicGroup, char *birthDate, char *birthPlace,
               char *idNumber, char *authority, char *validity, char *validUntil, char *error);
int readChipBankCard(char *cardNumber, char *error);
int readStripeBankCard(int timeout, char *cardNumber, char *error);
int setScanMode(int mode, char *error);
int scan(int *output, char *scan, int waitMs, char *error);
int setScanInterval(int intervalMs, char *error);
int readTracks(int timeout, char *track1, char *track2, char *track3, char *track4,
               char *error);
int inputKey(int timeout, int keySize, char *key, int *output, char *error);

} // namespace Demo

#endif
