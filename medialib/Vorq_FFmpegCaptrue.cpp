#include "Vorq_FFmpegCaptrue.h"

#include <QMetaType>
#include <QMutexLocker>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <system_error>

extern "C" {
#include <libavdevice/avdevice.h>
#include <libavutil/opt.h>
#include <libavutil/time.h>
}

#include "CaptureClock.h"
#include "CaptureInputSource.h"
#include "MediaLog.h"
#include "RecordingFinisher.h"
#include "RecordingWriter.h"
#include "Vorq_FFmpegAudio.h"
#include "Vorq_FFmpegImage.h"
#include "Vorq_FFmpegVideo.h"
#include "WriteLock.h"

using namespace vorq::media;
using vorq::platform::CaptureInput;
using vorq::platform::VideoRequest;

namespace {

// A PulseAudio microphone delivers 20 ms fragments (48 kHz, stereo, 16 bit),
// so each frame reaches the encoder soon after it was spoken.
constexpr const char* kPulseFragmentBytes = "3840";

AVDictionary* toDictionary(const CaptureInput& input)
{
    AVDictionary* options = nullptr;
    for (const auto& [key, value] : input.options) av_dict_set(&options, key.c_str(), value.c_str(), 0);
    return options;
}

CodecContextPtr decoderFor(const AVStream* stream)
{
    CodecContextPtr decoder(avcodec_alloc_context3(nullptr));
    if (!decoder || avcodec_parameters_to_context(decoder.get(), stream->codecpar) < 0) return {};
    decoder->pkt_timebase = stream->time_base;
    return decoder;
}

bool fragmentable(const AVFormatContext* output)
{
    const AVClass* muxerClass = output->oformat->priv_class;
    return muxerClass && av_opt_find(&muxerClass, "movflags", nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ);
}

// Fragmented MP4 while recording: the file is complete up to its last
// fragment at any moment, so a killed process or a power loss costs at most
// the fragment in the making. Each fragment starts on a key frame (one every
// two seconds), so such a file also seeks well. Each packet is handed to the
// kernel at once (a fragment is one write), instead of waiting in FFmpeg's
// buffer.
void addCrashSafeOptions(const AVFormatContext* output, AVDictionary** options)
{
    av_dict_set(options, "flush_packets", "1", 0);
    if (!fragmentable(output)) return;
    av_dict_set(options, "movflags", "frag_keyframe+empty_moov+default_base_moof", 0);
}

} // namespace

Vorq_FFmpegCaptrue::Vorq_FFmpegCaptrue() : QObject(nullptr)
{
    qRegisterMetaType<std::shared_ptr<AVFrame>>("std::shared_ptr<AVFrame>");
    qRegisterMetaType<std::shared_ptr<AVPacket>>("std::shared_ptr<AVPacket>");
    avdevice_register_all();
    avformat_network_init();
    av_log_set_level(AV_LOG_ERROR);
}

Vorq_FFmpegCaptrue::~Vorq_FFmpegCaptrue()
{
    StopRecord();
    StopCapture();
    CloseInputs();
    avformat_network_deinit();
}

void Vorq_FFmpegCaptrue::SetCapture(std::string name, int number)
{
    videoDeviceName = std::move(name);
    videoDeviceNumber = number;
}

void Vorq_FFmpegCaptrue::SetCaptureMicrophone(std::string name, int number)
{
    microphoneName = std::move(name);
    microphoneNumber = number;
}

int Vorq_FFmpegCaptrue::interruptVideo(void* self)
{
    return static_cast<Vorq_FFmpegCaptrue*>(self)->videoInputStopping ? 1 : 0;
}

int Vorq_FFmpegCaptrue::interruptAudio(void* self)
{
    return static_cast<Vorq_FFmpegCaptrue*>(self)->audioInputStopping ? 1 : 0;
}

int Vorq_FFmpegCaptrue::OpenVideoDevice(const std::string& name, int number)
{
    CaptureInput source;
    const int resolved = CaptureInputSource::resolveCamera(name, number, VideoRequest{inputFormat, videoSize, frameRate},
                                                          source);
    const AVInputFormat* format = resolved == 0 ? av_find_input_format(source.format.c_str()) : nullptr;
    AVFormatContext* context = format ? avformat_alloc_context() : nullptr;
    if (!context) {
        logError("Input file open input failed\n");
        return resolved ? AVERROR(resolved) : AVERROR(ENOENT);
    }
    context->interrupt_callback = AVIOInterruptCB{&Vorq_FFmpegCaptrue::interruptVideo, this};
    AVDictionary* options = toDictionary(source);
    // Stream probing must not hold back packets: the first frame read is a
    // fresh one.
    av_dict_set(&options, "fflags", "nobuffer", AV_DICT_DONT_OVERWRITE);
    videoInputStopping = false;
    int result = avformat_open_input(&context, source.url.c_str(), format, &options);
    av_dict_free(&options);
    if (result < 0) {
        logError("Input file open input failed\n");
        return result;
    }
    videoInput.reset(context);

    result = avformat_find_stream_info(context, nullptr);
    if (result < 0)
        logError("Find input file stream inform failed\n");
    else
        logInfo("Open input file  %s success\n", name.c_str());
    FindStreams(context, false);
    if (videoIndex >= 0) videoDecoder = decoderFor(context->streams[videoIndex]);
    return result;
}

int Vorq_FFmpegCaptrue::OpenAudioDevice(const std::string& name, int number)
{
    CaptureInput source;
    const int resolved = CaptureInputSource::resolveMicrophone(name, number, source);
    const AVInputFormat* format = resolved == 0 ? av_find_input_format(source.format.c_str()) : nullptr;
    AVFormatContext* context = format ? avformat_alloc_context() : nullptr;
    if (!context) {
        logError("Error: find input audio device: %s failed\n", resolved ? name.c_str() : source.url.c_str());
        return resolved ? AVERROR(resolved) : AVERROR(ENOENT);
    }
    context->interrupt_callback = AVIOInterruptCB{&Vorq_FFmpegCaptrue::interruptAudio, this};
    AVDictionary* options = toDictionary(source);
    if (source.format == "pulse") av_dict_set(&options, "fragment_size", kPulseFragmentBytes, AV_DICT_DONT_OVERWRITE);
    audioInputStopping = false;
    const int result = avformat_open_input(&context, source.url.c_str(), format, &options);
    av_dict_free(&options);
    if (result < 0) {
        logError("Error: find input audio device: %s failed\n", source.url.c_str());
        return result;
    }
    microphoneInput.reset(context);
    logInfo("Find input audio device: %s \n", name.c_str());
    FindStreams(context, true);
    if (audioIndex >= 0) audioDecoder = decoderFor(context->streams[audioIndex]);
    return result;
}

void Vorq_FFmpegCaptrue::FindStreams(AVFormatContext* input, bool microphone)
{
    if (microphone)
        audioIndex = -1;
    else
        videoIndex = -1;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const int id = static_cast<int>(i);
        switch (input->streams[i]->codecpar->codec_type) {
        case AVMEDIA_TYPE_VIDEO:
            if (!microphone) videoIndex = id;
            logInfo("Stream id: %d\nType: AVMEDIA_TYPE_VIDEO\n", id);
            break;
        case AVMEDIA_TYPE_AUDIO:
            if (microphone) audioIndex = id;
            logInfo("Stream id: %d\nType: AVMEDIA_TYPE_AUDIO\n", id);
            break;
        case AVMEDIA_TYPE_DATA:
            logInfo("Stream id: %d\nType: AVMEDIA_TYPE_DATA\n", id);
            break;
        case AVMEDIA_TYPE_SUBTITLE:
            logInfo("Stream id: %d\nType: AVMEDIA_TYPE_SUBTITLE\n", id);
            break;
        case AVMEDIA_TYPE_ATTACHMENT:
            logInfo("Stream id: %d\nType: AVMEDIA_TYPE_ATTACHMENT\n", id);
            break;
        case AVMEDIA_TYPE_NB:
            logInfo("Stream id: %d\nType: AVMEDIA_TYPE_NB\n", id);
            break;
        default:
            break;
        }
    }
    logInfo("Video_index: %d\nAudio_index: %d\n", videoIndex, audioIndex);
}

void Vorq_FFmpegCaptrue::CloseMicrophone()
{
    microphoneInput.reset();
    audioDecoder.reset();
    audioIndex = -1;
}

void Vorq_FFmpegCaptrue::CloseInputs()
{
    videoInput.reset();
    videoDecoder.reset();
    videoIndex = -1;
    CloseMicrophone();
}

void Vorq_FFmpegCaptrue::StartCapture()
{
    if (preview && captureOpen) return;
    const int result = OpenVideoDevice(videoDeviceName, videoDeviceNumber);
    if (result < 0) {
        logError("err:%d, camera open video failed!\n", result);
        CloseInputs();
        return;
    }
    preview = std::make_unique<Vorq_FFmpegImage>(videoDecoder.get());
    // The converter keeps only the newest frame and converts it in its own
    // thread; the forwarding stays inside that emission, while the buffer is valid.
    connect(this, &Vorq_FFmpegCaptrue::imageFrame, preview.get(), &Vorq_FFmpegImage::offerFrame,
            Qt::DirectConnection);
    connect(preview.get(), &Vorq_FFmpegImage::frameBuffer, this,
            [this](uint8_t* buffer, int width, int height) { emit frameBuffer(buffer, width, height); },
            Qt::DirectConnection);
    captureOpen = true;
    try {
        videoCaptureThread = std::thread(&Vorq_FFmpegCaptrue::VideoCapture, this);
    } catch (const std::system_error& e) {
        logError("[thread error: %d]: Start camera failed\n", e.code().value());
        captureOpen = false;
        preview.reset();
        CloseInputs();
        return;
    }
    logInfo("Open camera successful!\n");
}

void Vorq_FFmpegCaptrue::StopCapture()
{
    // Nothing may read the microphone or the camera once they are closed, and
    // the file of a running recording is finalised.
    StopRecord();
    {
        std::lock_guard<std::mutex> lock(readErrorMutex);
        captureOpen = false;
        videoInputStopping = true;
    }
    stopRequested.notify_all();
    if (videoCaptureThread.joinable()) videoCaptureThread.join();
    preview.reset();
    CloseInputs();
}

std::shared_ptr<const uint8_t> Vorq_FFmpegCaptrue::HoldFrameBuffer(const uint8_t* buffer) const
{
    return preview ? preview->holdPicture(buffer) : nullptr;
}

std::shared_ptr<AVPacket> Vorq_FFmpegCaptrue::ReadVideoPacketFromSource(int& error)
{
    auto packet = makeSharedPacket();
    if (!packet) {
        error = AVERROR(ENOMEM);
        return {};
    }
    error = av_read_frame(videoInput.get(), packet.get());
    if (error < 0) return {};
    return packet;
}

std::shared_ptr<AVPacket> Vorq_FFmpegCaptrue::ReadAudioPacketFromSource(int& error)
{
    auto packet = makeSharedPacket();
    if (!packet) {
        error = AVERROR(ENOMEM);
        return {};
    }
    error = av_read_frame(microphoneInput.get(), packet.get());
    if (error < 0) return {};
    return packet;
}

void Vorq_FFmpegCaptrue::waitAfterReadError(int error, const std::atomic<bool>& keepGoing)
{
    // A device that has nothing yet is asked again soon; a failing or ended
    // one is not hammered.
    const auto pause = error == AVERROR(EAGAIN) ? std::chrono::milliseconds(5) : std::chrono::milliseconds(50);
    std::unique_lock<std::mutex> lock(readErrorMutex);
    stopRequested.wait_for(lock, pause, [&keepGoing] { return !keepGoing; });
}

void Vorq_FFmpegCaptrue::VideoCapture()
{
    AVCodecContext* decoder = videoDecoder.get();
    CaptureClock clock(videoIndex >= 0 ? videoInput->streams[videoIndex]->time_base : AVRational{0, 1});
    while (captureOpen) {
        int error = 0;
        auto packet = ReadVideoPacketFromSource(error);
        if (!packet) {
            waitAfterReadError(error, captureOpen);
            continue;
        }
        const int64_t arrival = av_gettime_relative();
        if (packet->stream_index != videoIndex || !decoder) continue;
        if (avcodec_send_packet(decoder, packet.get()) < 0) continue;
        for (;;) {
            auto frame = makeSharedFrame();
            if (!frame || avcodec_receive_frame(decoder, frame.get()) < 0) break;
            // From here on a frame's pts is its capture time on the engine clock.
            frame->pts = clock.stamp(frame->best_effort_timestamp, arrival);
            emit imageFrame(frame);
            deliverVideoFrame(frame);
        }
    }
}

void Vorq_FFmpegCaptrue::AudioCollect()
{
    AVCodecContext* decoder = audioDecoder.get();
    CaptureClock clock(audioIndex >= 0 ? microphoneInput->streams[audioIndex]->time_base : AVRational{0, 1});
    while (recording) {
        int error = 0;
        auto packet = ReadAudioPacketFromSource(error);
        if (!packet) {
            waitAfterReadError(error, recording);
            continue;
        }
        const int64_t arrival = av_gettime_relative();
        if (packet->stream_index != audioIndex || !decoder) continue;
        if (avcodec_send_packet(decoder, packet.get()) < 0) continue;
        for (;;) {
            auto frame = makeSharedFrame();
            if (!frame || avcodec_receive_frame(decoder, frame.get()) < 0) break;
            frame->pts = clock.stamp(frame->best_effort_timestamp, arrival);
            emit audioFrame(frame);
        }
    }
}

void Vorq_FFmpegCaptrue::deliverVideoFrame(const std::shared_ptr<AVFrame>& frame)
{
    std::lock_guard<std::mutex> lock(videoSinkMutex);
    emit videoFrame(frame);
}

void Vorq_FFmpegCaptrue::connectVideoEncoder(bool on)
{
    std::lock_guard<std::mutex> lock(videoSinkMutex);
    if (on && videoEncoder)
        videoSinkConnection = connect(this, &Vorq_FFmpegCaptrue::videoFrame, videoEncoder.get(),
                                      &Vorq_FFmpegVideo::vidoFrame, Qt::DirectConnection);
    else if (!on)
        disconnect(videoSinkConnection);
}

int Vorq_FFmpegCaptrue::OpenOutput(const std::string& fileName)
{
    AVFormatContext* context = nullptr;
    int result = avformat_alloc_output_context2(&context, nullptr, outputFormat.c_str(), fileName.c_str());
    if (result < 0 || !context) {
        logError("Open output context failed\n");
        return result < 0 ? result : AVERROR_MUXER_NOT_FOUND;
    }
    output.reset(context);
    if (!(context->oformat->flags & AVFMT_NOFILE)) {
        result = avio_open2(&context->pb, fileName.c_str(), AVIO_FLAG_WRITE, nullptr, nullptr);
        if (result < 0) {
            logError("Open %s : %s failed!\n", context->oformat->name, fileName.c_str());
            return result;
        }
        outputFileCreated = true;
    }
    logInfo("Open %s sucessful!\n", fileName.c_str());
    return result;
}

bool Vorq_FFmpegCaptrue::CloseOutput(bool writeTrailer)
{
    QMutexLocker writeLocker(&writeLock);
    if (!output) return false;
    const bool failed = writer && writer->failed();
    bool saved = false;
    if (writeTrailer && headerWritten && !failed) {
        // The fragmented MP4 muxer reports the size of its index here.
        const int result = av_write_trailer(output.get());
        saved = result >= 0 && !(output->pb && output->pb->error < 0);
        if (saved)
            logInfo("Save output file success: %s\n", activeRecordFile.c_str());
        else
            logError("Save output file failed: %s\n", activeRecordFile.c_str());
    }
    output.reset();
    // A file whose writing broke off ends with what was written whole.
    if (failed) writer->cutToLastGoodFragment();
    const bool finishable = writeTrailer && headerWritten && (saved || failed);
    headerWritten = false;
    return finishable;
}

void Vorq_FFmpegCaptrue::finishFile(bool afterFailure)
{
    const int64_t begin = av_gettime_relative();
    const int result = RecordingFinisher::finish(activeRecordFile, outputFormat);
    if (result >= 0) {
        logInfo("Finished %s in %.0f ms\n", activeRecordFile.c_str(), (av_gettime_relative() - begin) / 1000.0);
        return;
    }
    char text[AV_ERROR_MAX_STRING_SIZE] = {0};
    av_strerror(result, text, sizeof text);
    // After a write error the disk is likely still full; that was said once.
    if (afterFailure)
        logInfo("%s stays fragmented: %s\n", activeRecordFile.c_str(), text);
    else
        logError("Could not finish %s (%s); the fragmented recording is kept\n", activeRecordFile.c_str(), text);
}

int Vorq_FFmpegCaptrue::writeHeader()
{
    AVDictionary* options = nullptr;
    addCrashSafeOptions(output.get(), &options);
    const int result = avformat_write_header(output.get(), &options);
    av_dict_free(&options);
    return result;
}

int Vorq_FFmpegCaptrue::StartRecord()
{
    if (!captureOpen || recording || videoEncoder || audioEncoder) return 0;
    activeRecordFile = recordFileName;

    int result = OpenAudioDevice(microphoneName, microphoneNumber);
    if (result < 0) {
        logError("err: %d, camera open audio failed!\n", result);
        endRecording(false);
        return 0;
    }
    if (OpenOutput(activeRecordFile) < 0) {
        endRecording(false);
        return 0;
    }
    writer = std::make_unique<RecordingWriter>(output.get(), activeRecordFile,
                                               [this](int error) { emit recordingWriteFailed(error); });

    // The audio encoder opens the microphone's decoder here, before the collect
    // thread that decodes with it is started.
    videoEncoder = std::make_unique<Vorq_FFmpegVideo>(videoInput.get(), output.get(), videoIndex, frameRate,
                                                      activeRecordFile);
    audioEncoder = std::make_unique<Vorq_FFmpegAudio>(microphoneInput.get(), output.get(), audioIndex,
                                                      audioDecoder.get(), activeRecordFile);
    videoEncoder->setWriter(writer.get());
    audioEncoder->setWriter(writer.get());
    if (!videoEncoder->isReady() || !audioEncoder->isReady()) {
        logError("Recording needs both the video and the audio encoder\n");
        endRecording(false);
        return 0;
    }
    if (writeHeader() < 0) {
        logError("format write header failed\n");
        endRecording(false);
        return 0;
    }
    headerWritten = true;
    finishAtStop = fragmentable(output.get());
    writer->markGood();
    fileSyncer.start(activeRecordFile);

    // One origin for both branches, so a sound and a picture captured together
    // get the same time in the file.
    const int64_t origin = av_gettime_relative();
    videoEncoder->setTimeOrigin(origin);
    audioEncoder->setTimeOrigin(origin);
    audioSinkConnection = connect(this, &Vorq_FFmpegCaptrue::audioFrame, audioEncoder.get(),
                                  &Vorq_FFmpegAudio::audioFrame, Qt::DirectConnection);
    try {
        videoEncoder->start();
        videoEncodeThread = std::thread(&Vorq_FFmpegVideo::VideoEncodeLoop, videoEncoder.get());
    } catch (const std::system_error&) {
        logError("careate video thread failed!\n");
        endRecording(false);
        return 0;
    }
    try {
        audioEncoder->start();
        audioEncodeThread = std::thread(&Vorq_FFmpegAudio::AudioEncodeLoop, audioEncoder.get());
    } catch (const std::system_error&) {
        logError("careate audio thread failed!\n");
        endRecording(false);
        return 0;
    }
    try {
        recording = true;
        audioCollectThread = std::thread(&Vorq_FFmpegCaptrue::AudioCollect, this);
    } catch (const std::system_error&) {
        logError("Careate audio collect thread failed!\n");
        endRecording(false);
        return 0;
    }
    connectVideoEncoder(true);
    logInfo("Recording...\n");
    return 1;
}

void Vorq_FFmpegCaptrue::StopRecord()
{
    if (!recording && !videoEncoder && !audioEncoder && !output) return;
    endRecording(true);
}

void Vorq_FFmpegCaptrue::endRecording(bool finalise)
{
    // The microphone first: once its thread is joined no audio frame is on
    // its way, and the audio encoder has everything there is to write.
    {
        std::lock_guard<std::mutex> lock(readErrorMutex);
        recording = false;
        audioInputStopping = true;
    }
    stopRequested.notify_all();
    if (audioCollectThread.joinable()) audioCollectThread.join();
    disconnect(audioSinkConnection);
    connectVideoEncoder(false);

    // Both loops encode what is queued and drain their encoders before they end.
    if (audioEncoder) audioEncoder->stop();
    if (videoEncoder) videoEncoder->stop();
    if (videoEncodeThread.joinable()) videoEncodeThread.join();
    if (audioEncodeThread.joinable()) audioEncodeThread.join();
    audioEncoder.reset();
    videoEncoder.reset();
    CloseMicrophone();

    const bool failed = writer && writer->failed();
    const bool finishable = CloseOutput(finalise);
    fileSyncer.stop();
    writer.reset();
    if (finishable && finishAtStop) finishFile(failed);
    finishAtStop = false;
    // A start that failed leaves no file behind; it never held a recording.
    if (!finalise && outputFileCreated && std::remove(activeRecordFile.c_str()) != 0)
        logError("Could not remove %s\n", activeRecordFile.c_str());
    outputFileCreated = false;
}

void Vorq_FFmpegCaptrue::Recoder(std::shared_ptr<AVPacket>& packet)
{
    if (!recording || !packet) return;
    QMutexLocker writeLocker(&writeLock);
    if (!output || !headerWritten) return;
    logFrame("packet->pts: %d\n", static_cast<int>(packet->pts));
    av_interleaved_write_frame(output.get(), packet.get());
}
