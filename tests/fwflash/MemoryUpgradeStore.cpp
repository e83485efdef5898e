#include "MemoryUpgradeStore.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace fwtest {

bool MemoryUpgradeStore::validFileName(const std::string& name)
{
    return !name.empty() && name[0] != '.' && name.find('/') == std::string::npos && name.size() <= 200;
}

int MemoryUpgradeStore::fileSize(const std::string& name, uint64_t& size)
{
    auto it = files.find(name);
    if (it == files.end()) return ENOENT;
    size = it->second.size();
    return 0;
}

int MemoryUpgradeStore::readFile(const std::string& name, uint64_t offset, uint8_t* data, size_t size, size_t& got)
{
    got = 0;
    auto it = files.find(name);
    if (it == files.end()) return ENOENT;
    if (offset >= it->second.size()) return 0;
    got = std::min<size_t>(size, it->second.size() - offset);
    std::memcpy(data, it->second.data() + offset, got);
    return 0;
}

int MemoryUpgradeStore::writeFile(const std::string& name, const uint8_t* data, size_t size)
{
    files[name].assign(data, data + size);
    return 0;
}

int MemoryUpgradeStore::appendFile(const std::string& name, const uint8_t* data, size_t size)
{
    auto& file = files[name];
    file.insert(file.end(), data, data + size);
    return 0;
}

int MemoryUpgradeStore::renameFile(const std::string& from, const std::string& to)
{
    auto it = files.find(from);
    if (it == files.end()) return ENOENT;
    files[to] = std::move(it->second);
    files.erase(from);
    return 0;
}

int MemoryUpgradeStore::removeFile(const std::string& name) { return files.erase(name) ? 0 : ENOENT; }

long MemoryUpgradeStore::configNumber(const char* key, long defaultValue)
{
    auto it = config.find(key);
    if (it == config.end()) return defaultValue;
    return std::strtol(it->second.c_str(), nullptr, 0);
}

std::string MemoryUpgradeStore::configText(const char* key)
{
    auto it = config.find(key);
    return it == config.end() ? std::string() : it->second;
}

} // namespace fwtest
