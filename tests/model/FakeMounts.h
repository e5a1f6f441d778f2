#pragma once

// A volume source of the test's making: a mount table, the identity and
// space of each device, a host and a clock; paths are taken as they are.

#include "MountSource.h"
#include "MountTable.h"
#include "Volume.h"

#include <map>
#include <string>

namespace tessary::testing {

class FakeMountSource : public IMountSource {
public:
    struct Device {
        std::string uuid, label;
        std::uint64_t capacity = 0, freeBytes = 0;
    };

    // Adds a line to the mount table: `source` (a device with an identity
    // in `devices`, or anything else) mounted at `mountPoint`.
    void Mount(const std::string& mountPoint, const std::string& source, const std::string& type = "ext4",
        const std::string& root = "/")
    {
        const int id = ++m_nextId;
        mountInfo += std::to_string(id) + " 1 8:" + std::to_string(id) + " " + root + " " + mountPoint
            + " rw - " + type + " " + source + " rw\n";
    }

    std::string MountInfo() override { return mountInfo; }
    void Identify(MountedVolume& volume) override
    {
        auto it = devices.find(volume.source);
        if (it != devices.end()) {
            volume.uuid = it->second.uuid;
            volume.label = it->second.label;
        }
        ++identified;
    }
    bool Space(const std::string& path, std::uint64_t& capacity, std::uint64_t& freeBytes) override
    {
        // The device mounted at the longest prefix of `path`.
        CVolumeTable table(ParseMountTable(mountInfo));
        const MountedVolume* v = table.VolumeAt(path);
        auto it = v ? devices.find(v->source) : devices.end();
        if (it == devices.end())
            return false;
        capacity = it->second.capacity;
        freeBytes = it->second.freeBytes;
        return true;
    }
    std::string RealPath(const std::string& path) override { return path; }
    std::string HostName() override { return "desk"; }
    std::int64_t Now() override { return 1'700'000'000; }

    std::string mountInfo;
    std::map<std::string, Device> devices; // by source
    int identified = 0;

private:
    int m_nextId = 20;
};

} // namespace tessary::testing
