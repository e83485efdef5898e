#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <string>

#include "ControlSet.h"
#include "FrameSource.h"
#include "UnitResponder.h"
#include "UvcDescriptors.h"

namespace vorq::emucam {

// A small profile beside the descriptors: what a camera's string
// descriptors and firmware would tell the driver.
struct CameraProfile {
    std::string product;      // empty: uvcvideo's "UVC Camera (vvvv:pppp)"
    std::string manufacturer;
    std::string serial;
    bool simulatedUnits = false; // extension units answered by the simulated camera
    std::string simState;        // its state directory ("" = a private one)
    ControlSet::SpeedConvention speeds = ControlSet::SpeedConvention::Current;
    std::vector<std::pair<std::string, std::string>> controls; // ctrl.* overrides
    std::vector<std::pair<std::string, std::string>> unitLengths; // xu.U.S.len

    // key=value lines, '#' comments. False with a reason on a bad line.
    static bool parse(const std::string& text, CameraProfile& profile, std::string& error);
};

// The driver's view of one camera: its descriptors, the V4L2 controls and
// extension units of its (first) video function, and whether it is plugged.
class EmulatedCamera {
public:
    EmulatedCamera(UsbCamera usb, CameraProfile profile, std::unique_ptr<UnitResponder> units);

    const UsbCamera& usb() const { return usb_; }
    const CameraProfile& profile() const { return profile_; }
    const VideoFunction& function() const { return usb_.functions.front(); }
    // The name uvcvideo gives the video device.
    std::string cardName() const;
    // QUERYCAP's bus_info: the host controller and the USB port.
    const std::string& busInfo() const { return busInfo_; }
    void setPort(const std::string& port) { busInfo_ = "usb-0000:00:14.0-" + port; }

    ControlSet& controls() { return controls_; }
    FrameSource& frames() { return frames_; }

    // UVCIOC_CTRL_QUERY as uvc_xu_ctrl_query() checks it, then the device.
    int xuQuery(uint8_t unit, uint8_t selector, uint8_t query, uint8_t* data, uint16_t size);

    // S_CTRL: the driver's rules, then the value reaches the device.
    int setControl(uint32_t cid, int32_t& value);

    bool plugged() const { return plugged_; }
    // Every plug-in counts, so handles from an earlier one can be told apart.
    void setPlugged(bool plugged)
    {
        if (plugged && !plugged_) ++plugIn_;
        plugged_ = plugged;
    }
    unsigned plugIn() const { return plugIn_; }

private:
    UsbCamera usb_;
    CameraProfile profile_;
    std::unique_ptr<UnitResponder> units_;
    std::mutex unitsMutex_;
    std::map<std::pair<uint8_t, uint8_t>, std::pair<uint8_t, uint16_t>> unitInfo_; // capabilities, length
    ControlSet controls_;
    FrameSource frames_;
    std::string busInfo_ = "usb-0000:00:14.0-1";
    std::atomic<bool> plugged_{true};
    std::atomic<unsigned> plugIn_{0};
};

} // namespace vorq::emucam
