#pragma once

#include <functional>
#include <memory>
#include <thread>

#include <QObject>
#include <QRect>
#include <QString>

namespace vorq::platform {
class PeakMeter;
}

class LevelWorker;
class QLabel;
class QProgressBar;
class QPushButton;
class QSlider;
class QTimer;
class QWidget;

// The small vertical slider that a speaker or microphone button opens: it
// shows and sets one direction's system level and hides itself again.
class VolumePopup : public QObject {
    Q_OBJECT
public:
    struct Config {
        QRect sliderGeometry;  // in the window
        QRect labelGeometry;   // in the slider
        QString mutedStyle;    // the button face at level 0
        QString activeStyle;   // the button face otherwise
        std::function<int(float&)> read;
        std::function<int(float)> write;
        // The description of the microphone whose live level is shown beside
        // the slider while it is open; empty for no meter.
        QString meterSource = QString();
        // The description of the speaker a "Test" button plays a short tone
        // on (the default speaker when none is so called); empty for none.
        QString toneSink = QString();
    };
    static constexpr int kToneMs = 600;
    static constexpr int kMeterRate = 10; // peaks a second

    static constexpr int kReleaseHideMs = 2000; // after the slider is let go
    static constexpr int kButtonHideMs = 3000;  // after the button is clicked

    // The slider and the label become children of `window`, the hide timer
    // a child of this object.
    VolumePopup(QWidget* window, QPushButton* button, Config config);
    ~VolumePopup() override;

    // Reads the system level into the slider, the label and the button face.
    // The read runs off the GUI thread; its answer is shown when it arrives,
    // unless the user has moved the slider since.
    void refresh();
    // The user dragged the slider to `position` (the window forwards the
    // slider's sliderMoved here). The level is written off the GUI thread.
    void sliderMoved(int position);

    QSlider* slider() const { return slider_; }
    QLabel* valueLabel() const { return valueLabel_; }
    QTimer* hideTimer() const { return hideTimer_; }
    // Null without a meter.
    QProgressBar* levelMeter() const { return meter_; }
    bool meterRunning() const { return peakMeter_ != nullptr; }
    // Null without a tone; disabled while the tone plays.
    QPushButton* toneButton() const { return toneButton_; }

signals:
    // The tone ended; false when the sound server did not play it.
    void tonePlayed(bool ok);

public:

protected:
    // Escape closes the popup; keyboard focus on the slider keeps it open.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void close();
    void showRead(float level, unsigned number);
    void showLevel(int level);
    void placeLabel(int level);
    void armHideTimer(int ms);
    void setMeterRunning(bool run);
    void playTone();

    QPushButton* button_;
    Config config_;
    QSlider* slider_ = nullptr;
    QLabel* valueLabel_ = nullptr;
    QTimer* hideTimer_ = nullptr;
    // A read was asked for and no slider move has overtaken it.
    // Number of the read whose answer is wanted; 0: none.
    unsigned readWanted_ = 0;
    std::unique_ptr<LevelWorker> worker_;
    QProgressBar* meter_ = nullptr;
    std::unique_ptr<vorq::platform::PeakMeter> peakMeter_;
    QPushButton* toneButton_ = nullptr;
    std::thread toneThread_;
};
