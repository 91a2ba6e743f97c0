#include "jvm/MainThreadClass.h"

#include <cstdint>

namespace {

void u1(std::string& out, unsigned value) { out += static_cast<char>(value & 0xFF); }

void u2(std::string& out, unsigned value) {
    u1(out, value >> 8);
    u1(out, value);
}

void u4(std::string& out, uint32_t value) {
    u2(out, value >> 16);
    u2(out, value & 0xFFFF);
}

// Only ASCII names are written: their modified UTF-8 form is the text itself.
void utf8(std::string& out, std::string_view text) {
    u1(out, 1);
    u2(out, static_cast<unsigned>(text.size()));
    out += text;
}

// Constant pool indexes, in the order the entries are written.
enum : unsigned {
    kThisName = 1,
    kThisClass,
    kThreadName,
    kThreadClass,
    kInitName,
    kInitType,
    kInitNameAndType,
    kThreadInit,
    kRunName,
    kRunType,
    kCodeName,
    kPoolCount,
};

}  // namespace

std::string mainThreadClassFile(std::string_view className) {
    std::string out;
    u4(out, 0xCAFEBABE);
    u2(out, 0);   // minor version
    u2(out, 50);  // Java 6: no stack maps needed, read by every later VM
    u2(out, kPoolCount);
    utf8(out, className);
    u1(out, 7);  // CONSTANT_Class
    u2(out, kThisName);
    utf8(out, "java/lang/Thread");
    u1(out, 7);
    u2(out, kThreadName);
    utf8(out, "<init>");
    utf8(out, "(Ljava/lang/String;)V");
    u1(out, 12);  // CONSTANT_NameAndType
    u2(out, kInitName);
    u2(out, kInitType);
    u1(out, 10);  // CONSTANT_Methodref
    u2(out, kThreadClass);
    u2(out, kInitNameAndType);
    utf8(out, "run");
    utf8(out, "()V");
    utf8(out, "Code");

    u2(out, 0x0010 | 0x0020);  // final, super
    u2(out, kThisClass);
    u2(out, kThreadClass);
    u2(out, 0);  // interfaces
    u2(out, 0);  // fields
    u2(out, 2);  // methods

    // <init>(String name) { super(name); }
    const unsigned char code[] = {0x2A, 0x2B, 0xB7, 0x00, kThreadInit, 0xB1};  // aload_0 aload_1 invokespecial return
    u2(out, 0x0001);  // public
    u2(out, kInitName);
    u2(out, kInitType);
    u2(out, 1);  // attributes
    u2(out, kCodeName);
    u4(out, 2 + 2 + 4 + sizeof code + 2 + 2);
    u2(out, 2);  // max stack
    u2(out, 2);  // max locals: this and the name
    u4(out, sizeof code);
    out.append(reinterpret_cast<const char*>(code), sizeof code);
    u2(out, 0);  // exception table
    u2(out, 0);  // attributes of the code

    // public native void run();
    u2(out, 0x0001 | 0x0100);
    u2(out, kRunName);
    u2(out, kRunType);
    u2(out, 0);

    u2(out, 0);  // attributes of the class
    return out;
}
