#include "serial/win32_comm.h"

#include "base/text.h"

namespace kv58::win32 {

bool isComPortName(const std::string& name) {
    if (name.size() < 4 || !startsWithIgnoreCase(name, "COM") || name[3] == '0')
        return false;
    for (size_t i = 3; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9')
            return false;
    }
    return true;
}

std::string devicePath(const std::string& name) {
    return isComPortName(name) ? "\\\\.\\" + name : name;
}

void applyLineSettings(DCB& dcb, const LineSettings& s) {
    dcb.BaudRate = s.baud;
    dcb.ByteSize = s.dataBits;
    dcb.Parity = static_cast<BYTE>(s.parity);      // NOPARITY … SPACEPARITY: the same codes
    dcb.StopBits = static_cast<BYTE>(s.stopBits);  // ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS
    dcb.fBinary = TRUE;
    dcb.fParity = TRUE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fNull = FALSE;
    dcb.fErrorChar = FALSE;
}

DWORD purgeFlags(bool input, bool output, bool abort) {
    DWORD flags = 0;
    if (input)
        flags |= PURGE_RXCLEAR | (abort ? PURGE_RXABORT : 0);
    if (output)
        flags |= PURGE_TXCLEAR | (abort ? PURGE_TXABORT : 0);
    return flags;
}

std::string errorText(DWORD code) {
    char* buffer = nullptr;
    const DWORD n = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text = n > 0 && buffer ? trim(std::string(buffer, n), " \t\r\n.") : "";
    LocalFree(buffer);
    if (text.empty())
        return strprintf("error %lu", static_cast<unsigned long>(code));
    return strprintf("%s (error %lu)", text.c_str(), static_cast<unsigned long>(code));
}

std::string openFailureText(const std::string& name, DWORD code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return strprintf("no serial port %s", name.c_str());
        case ERROR_ACCESS_DENIED:  // what Windows answers for a port that another handle holds
        case ERROR_SHARING_VIOLATION:
            return strprintf("serial port %s is in use by another program", name.c_str());
        default:
            return strprintf("cannot open serial port %s: %s", name.c_str(),
                             errorText(code).c_str());
    }
}

}  // namespace kv58::win32
