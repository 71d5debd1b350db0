#pragma once

#include <QString>

namespace platform::office {

// Whether the file is a workbook that only a password opens, told from its
// own bytes, for the kinds the office refuses without asking for one:
//  - a compound file (BIFF5/BIFF8 .xls) whose workbook stream starts with a
//    FILEPASS record (XOR obfuscation, RC4, RC4 CryptoAPI);
//  - a compound file holding an encrypted OOXML package (the streams
//    "EncryptionInfo" and "EncryptedPackage": standard and agile encryption).
// Anything unreadable or malformed is taken as not encrypted.
enum class Encryption { None, BiffXor, BiffRc4, BiffCryptoApi, Ooxml };
Encryption encryptionOf(const QString &path);
inline bool isEncryptedWorkbook(const QString &path)
{
    return encryptionOf(path) != Encryption::None;
}
// The name users know the scheme by ("RC4 CryptoAPI").
QString encryptionName(Encryption encryption);

} // namespace platform::office
