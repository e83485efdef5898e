#include "FakeCameraFilter.h"

FakeCameraFilter::FakeCameraFilter()
    : procAmpControl_(*this, procAmp, "V"), cameraControl_(*this, camera, "C")
{
    // {minimum, maximum, step, default, value, flags}
    procAmp[VideoProcAmp_Brightness] = {-64, 64, 1, 0, 5, 2};
    procAmp[VideoProcAmp_Contrast] = {0, 14, 1, 7, 3, 2};
    procAmp[VideoProcAmp_Hue] = {-180, 180, 1, 0, 0, 2};
    procAmp[VideoProcAmp_Saturation] = {0, 100, 1, 64, 50, 2};
    procAmp[VideoProcAmp_Sharpness] = {0, 15, 1, 6, 6, 2};
    procAmp[VideoProcAmp_Gamma] = {100, 500, 1, 300, 300, 2};
    procAmp[VideoProcAmp_WhiteBalance] = {2800, 6500, 10, 4600, 5000, 1};
    procAmp[VideoProcAmp_BacklightCompensation] = {0, 2, 1, 1, 1, 2};
    procAmp[VideoProcAmp_Gain] = {0, 100, 1, 0, 10, 2};
    procAmp[VideoProcAmp_PowerlineFrequency] = {0, 3, 1, 1, 1, 2};
    camera[CameraControl_Pan] = {-36000, 36000, 3600, 0, 7200, 2};
    camera[CameraControl_Tilt] = {-36000, 36000, 3600, 0, -3600, 2};
    camera[CameraControl_Zoom] = {0, 100, 1, 0, 40, 2};
    camera[CameraControl_Exposure] = {3, 2047, 1, 250, 300, 1};
    camera[CameraControl_Iris] = {0, 10, 1, 0, 2, 2};
    camera[CameraControl_Focus] = {0, 1023, 1, 0, 120, 1};
}

QStringList FakeCameraFilter::takeLog() { return std::exchange(log_, {}); }

QStringList FakeCameraFilter::takeWrites()
{
    QStringList writes;
    for (const QString& line : takeLog())
        if (line.contains(QLatin1String(" Set "))) writes << line;
    return writes;
}

HRESULT FakeCameraFilter::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IBaseFilter)
        *ppv = static_cast<IBaseFilter*>(this);
    else if (riid == IID_IAMVideoProcAmp && hasProcAmp)
        *ppv = static_cast<IAMVideoProcAmp*>(&procAmpControl_);
    else if (riid == IID_IAMCameraControl && hasCameraControl)
        *ppv = static_cast<IAMCameraControl*>(&cameraControl_);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

template <typename Base>
HRESULT FakeCameraFilter::Control<Base>::GetRange(long property, long* minimum, long* maximum, long* step,
                                                  long* defaultValue, long* caps)
{
    owner_.log_ << QStringLiteral("%1 GetRange %2").arg(tag_).arg(property);
    const auto it = props_.find(property);
    if (it == props_.end() || it->second.rangeFails) return E_FAIL;
    *minimum = it->second.minimum;
    *maximum = it->second.maximum;
    *step = it->second.step;
    *defaultValue = it->second.defaultValue;
    *caps = it->second.caps;
    return S_OK;
}

template <typename Base>
HRESULT FakeCameraFilter::Control<Base>::Set(long property, long value, long flags)
{
    owner_.log_ << QStringLiteral("%1 Set %2 %3 %4").arg(tag_).arg(property).arg(value).arg(flags);
    const auto it = props_.find(property);
    if (it == props_.end()) return E_FAIL;
    // Like a camera: automatic mode keeps its own value.
    if (flags == 2) it->second.value = value;
    it->second.flags = flags;
    return S_OK;
}

template <typename Base>
HRESULT FakeCameraFilter::Control<Base>::Get(long property, long* value, long* flags)
{
    owner_.log_ << QStringLiteral("%1 Get %2").arg(tag_).arg(property);
    const auto it = props_.find(property);
    if (it == props_.end() || it->second.getFails) return E_FAIL;
    *value = it->second.value;
    *flags = it->second.flags;
    return S_OK;
}
