#pragma once

#include <map>

#include <QStringList>

#include "platform/DirectShow.h"

// A scripted capture filter: proc-amp ("V") and camera-control ("C")
// properties with ranges, values and modes, failures on demand, and a log of
// every call ("V GetRange 0", "C Get 6", "V Set 0 17 2"). It counts the
// references handed out, so tests see whether every interface came back.
class FakeCameraFilter : public IBaseFilter {
public:
    struct Property {
        long minimum = 0, maximum = 100, step = 1, defaultValue = 0;
        long value = 0, flags = 2;
        bool rangeFails = false, getFails = false;
        long caps = 3; // auto | manual
    };

    FakeCameraFilter();
    ~FakeCameraFilter() override = default;

    std::map<long, Property> procAmp;
    std::map<long, Property> camera;
    bool hasProcAmp = true;
    bool hasCameraControl = true;

    QStringList takeLog();
    // Only the Set calls.
    QStringList takeWrites();
    // References held by others than the test.
    int outstanding() const { return refs_ - 1; }

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override { return static_cast<ULONG>(++refs_); }
    ULONG Release() override { return static_cast<ULONG>(--refs_); }

private:
    template <typename Base>
    class Control : public Base {
    public:
        Control(FakeCameraFilter& owner, std::map<long, Property>& props, const char* tag)
            : owner_(owner), props_(props), tag_(tag) {}
        HRESULT QueryInterface(REFIID riid, void** ppv) override { return owner_.QueryInterface(riid, ppv); }
        ULONG AddRef() override { return owner_.AddRef(); }
        ULONG Release() override { return owner_.Release(); }
        HRESULT GetRange(long property, long* minimum, long* maximum, long* step, long* defaultValue, long* caps) override;
        HRESULT Set(long property, long value, long flags) override;
        HRESULT Get(long property, long* value, long* flags) override;

    private:
        FakeCameraFilter& owner_;
        std::map<long, Property>& props_;
        QString tag_;
    };

    int refs_ = 1;
    QStringList log_;
    Control<IAMVideoProcAmp> procAmpControl_;
    Control<IAMCameraControl> cameraControl_;
};
