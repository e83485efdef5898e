#include "v4l2/CapabilityCache.h"

#include <algorithm>

namespace vorq::platform {

bool CapabilityCache::find(const std::string& node, const std::string& instance, v4l2_capability& cap) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = entries_.find(node);
    if (it == entries_.end() || it->second.instance != instance) return false;
    cap = it->second.cap;
    return true;
}

void CapabilityCache::store(const std::string& node, const std::string& instance, const v4l2_capability& cap)
{
    std::lock_guard<std::mutex> lock(mutex_);
    entries_[node] = Entry{instance, cap, -1};
}

bool CapabilityCache::findMjpeg(const std::string& node, const std::string& instance, bool& mjpeg) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = entries_.find(node);
    if (it == entries_.end() || it->second.instance != instance || it->second.mjpeg < 0) return false;
    mjpeg = it->second.mjpeg == 1;
    return true;
}

void CapabilityCache::storeMjpeg(const std::string& node, const std::string& instance, bool mjpeg)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = entries_.find(node);
    if (it != entries_.end() && it->second.instance == instance) it->second.mjpeg = mjpeg ? 1 : 0;
}

void CapabilityCache::keepOnly(const std::vector<std::string>& nodes)
{
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = entries_.begin(); it != entries_.end();) {
        if (std::find(nodes.begin(), nodes.end(), it->first) == nodes.end())
            it = entries_.erase(it);
        else
            ++it;
    }
}

} // namespace vorq::platform
