#include "commands/registry_commands.h"

#include <windows.h>

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "script_values.h"
#include "um/um_status.h"

namespace bench {

namespace {

std::string SubkeyOf(const std::string& key)
{
    if (key.rfind("HKLM\\", 0) != 0) throw CommandError("KEY must start with HKLM\\, not " + key);
    return key.substr(5);
}

void Check(LSTATUS result, const std::string& what)
{
    if (result != ERROR_SUCCESS) throw CommandError(what + ": " + winsim::FormatWin32Error(static_cast<DWORD>(result)));
}

class OpenKey {
public:
    OpenKey(const std::string& key, REGSAM access, bool create)
    {
        std::string subkey = SubkeyOf(key);
        LSTATUS result = create ? RegCreateKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, nullptr, 0, access, nullptr,
                                                  &handle_, nullptr)
                                : RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, access, &handle_);
        Check(result, "open " + key);
    }
    ~OpenKey() { RegCloseKey(handle_); }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;
    HKEY Get() const { return handle_; }

private:
    HKEY handle_ = nullptr;
};

std::string FormatValue(DWORD type, const std::vector<BYTE>& data)
{
    auto text = [&](size_t from, size_t to) { return std::string(data.begin() + from, data.begin() + to); };
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
        size_t end = 0;
        while (end < data.size() && data[end] != 0) ++end;
        return std::string(type == REG_SZ ? "sz " : "expand_sz ") + QuoteText(text(0, end));
    }
    case REG_MULTI_SZ: {
        std::string out = "multi_sz";
        size_t start = 0;
        for (size_t i = 0; i < data.size(); ++i) {
            if (data[i] != 0) continue;
            if (i == start) break;
            out += " " + QuoteText(text(start, i));
            start = i + 1;
        }
        return out;
    }
    case REG_DWORD:
        if (data.size() == sizeof(DWORD)) {
            DWORD value;
            std::memcpy(&value, data.data(), sizeof(value));
            return "dword " + std::to_string(value);
        }
        break;
    default: break;
    }
    return (type == REG_BINARY ? "binary " : "type" + std::to_string(type) + " ") + FormatBytes(data.data(), data.size());
}

void PrintValue(std::ostream& out, const std::string& key, HKEY handle, const std::string& name)
{
    DWORD type = 0;
    DWORD size = 0;
    Check(RegQueryValueExA(handle, name.c_str(), nullptr, &type, nullptr, &size), "value " + PrintableWord(name));
    std::vector<BYTE> data(size);
    Check(RegQueryValueExA(handle, name.c_str(), nullptr, &type, data.data(), &size), "value " + PrintableWord(name));
    data.resize(size);
    out << "reg " << PrintableWord(key) << ' ' << PrintableWord(name.empty() ? "(default)" : name) << ' '
        << FormatValue(type, data) << '\n';
}

void Get(Session& session, const Args& args)
{
    if (args.size() < 2 || args.size() > 3) throw CommandError("usage: reg get KEY [VALUE]");
    std::string key = Unquote(args[1]);
    OpenKey open(key, KEY_READ, false);
    if (args.size() == 3) {
        PrintValue(session.Out(), key, open.Get(), Unquote(args[2]));
        return;
    }
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD length = sizeof(name);
        LSTATUS result = RegEnumValueA(open.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS) break;
        Check(result, "enumerate " + key);
        PrintValue(session.Out(), key, open.Get(), std::string(name, length));
    }
}

void Set(const Args& args)
{
    if (args.size() != 5) throw CommandError("usage: reg set KEY VALUE sz|dword DATA");
    std::string key = Unquote(args[1]);
    std::string name = Unquote(args[2]);
    OpenKey open(key, KEY_WRITE, true);
    if (args[3] == "sz") {
        std::string text = Unquote(args[4]);
        Check(RegSetValueExA(open.Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>(text.size() + 1)),
              "set " + PrintableWord(name));
    } else if (args[3] == "dword") {
        DWORD value = static_cast<DWORD>(ParseNumber(args[4], 0xFFFFFFFFu));
        Check(RegSetValueExA(open.Get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                             sizeof(value)),
              "set " + PrintableWord(name));
    } else {
        throw CommandError("the type must be sz or dword, not " + args[3]);
    }
}

void Delete(const Args& args)
{
    if (args.size() < 2 || args.size() > 3) throw CommandError("usage: reg del KEY [VALUE]");
    std::string key = Unquote(args[1]);
    if (args.size() == 3) {
        OpenKey open(key, KEY_WRITE, false);
        Check(RegDeleteValueA(open.Get(), Unquote(args[2]).c_str()), "delete " + PrintableWord(Unquote(args[2])));
        return;
    }
    Check(RegDeleteKeyA(HKEY_LOCAL_MACHINE, SubkeyOf(key).c_str()), "delete " + key);
}

}  // namespace

void RunReg(Session& session, const Args& args)
{
    if (args.empty()) throw CommandError("usage: reg get|set|del KEY ...");
    if (args[0] == "get") {
        Get(session, args);
    } else if (args[0] == "set") {
        Set(args);
    } else if (args[0] == "del") {
        Delete(args);
    } else {
        throw CommandError("reg takes get, set or del, not " + args[0]);
    }
}

}  // namespace bench
