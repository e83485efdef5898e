#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/UvcDevice.h"

// A scripted camera. Every handle opened on it (the enumerated one and each
// reopen()) shares one state, so a test sees all calls in one log.
struct FakeCameraState {
    vorq::platform::UvcIdentity identity;
    std::vector<vorq::platform::ExtensionUnit> units;
    // (unit, selector) -> current bytes; the length is the control's length.
    std::map<std::pair<uint8_t, uint8_t>, std::vector<uint8_t>> xuControls;
    std::map<uint32_t, vorq::platform::ControlRange> ranges;
    std::map<uint32_t, int32_t> values;

    std::vector<std::string> calls;
    // Unplugged: every call answers ENODEV and reopen() gives nothing.
    bool unplugged = false;
    // When >= 0: the camera is unplugged after that many more calls.
    int callsUntilUnplug = -1;
    // GET_CUR scribbles into the buffer and then fails with this errno.
    int getCurError = 0;
};

class FakeCamera : public vorq::platform::UvcDevice {
public:
    explicit FakeCamera(std::shared_ptr<FakeCameraState> state);

    const vorq::platform::UvcIdentity& identity() const override;
    const std::vector<vorq::platform::ExtensionUnit>& extensionUnits() const override;
    int xuQuery(uint8_t unit, uint8_t selector, uint8_t query, uint8_t* data, uint16_t size) override;
    int queryControl(uint32_t cid, vorq::platform::ControlRange& range) override;
    int getControl(uint32_t cid, int32_t& value) override;
    int setControl(uint32_t cid, int32_t value) override;
    std::unique_ptr<vorq::platform::UvcDevice> reopen() const override;

private:
    // Logs the call; false when the camera is (or has just become) unplugged.
    bool present(const std::string& call);

    std::shared_ptr<FakeCameraState> state_;
};

// A USB camera with the settings (unit 4), zoom (unit 6) and upgrade (unit 3)
// extension units and the usual camera-terminal / processing-unit controls.
std::shared_ptr<FakeCameraState> makeTeldoraCamera();

// "WHITE_BALANCE_TEMPERATURE" for V4L2_CID_WHITE_BALANCE_TEMPERATURE etc., as
// the call log writes control ids.
std::string controlName(uint32_t cid);
