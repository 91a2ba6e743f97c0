#include "runtime/MachineCheck.h"

#include "core/Log.h"
#include "core/Platform.h"
#include "runtime/LauncherMachine.h"
#include "runtime/RuntimeText.h"

MachineCheck checkRuntimeMachine(const std::string& path, uint16_t* machineOut) {
    uint16_t ignored = 0;
    uint16_t& found = machineOut ? *machineOut : ignored;
    found = 0;
    ScopedHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        const DWORD error = GetLastError();
        logMessage("could not read the header of %s (error %lu)", path.c_str(), error);
        return MachineCheck::Unreadable;
    }
    unsigned char dos[64];
    DWORD got = 0;
    uint32_t offset = 0;
    unsigned char signature[6];
    uint16_t machine = 0;
    const bool isPe = ReadFile(file.get(), dos, sizeof dos, &got, nullptr) &&
                      peSignatureOffset(dos, got, offset) &&
                      SetFilePointer(file.get(), static_cast<LONG>(offset), nullptr, FILE_BEGIN) == offset &&
                      ReadFile(file.get(), signature, sizeof signature, &got, nullptr) &&
                      peMachineAt(signature, got, machine);
    if (!isPe) {
        logMessage("%s is not a Windows executable", path.c_str());
        return MachineCheck::Other;
    }
    found = machine;
    if (machine == thisLauncher.peMachine)
        return MachineCheck::Matches;
    // The case a user of the 64-bit launcher meets most: an old 32-bit
    // runtime still installed beside the new ones.
    if (machine == peMachineI386)
        logMessage("%s is a 32-bit (i386) runtime; a %s-bit launcher needs an %s one", path.c_str(),
                   thisLauncher.bits, thisLauncher.name);
    else
        logMessage("%s is built for machine 0x%04X, not for %s", path.c_str(), machine, thisLauncher.name);
    return MachineCheck::Other;
}
