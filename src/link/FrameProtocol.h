#pragma once
// The command frame protocol: framed and unframed exchanges with their answer
// checks and messages, the three protocol switches, and the probe of the measurement protocol.

#include "link/ByteLink.h"
#include "proto/Protocol.h"

#include <QString>

#include <functional>

namespace vmx::app {
class Session;
struct MonitorConfig;
} // namespace vmx::app

namespace vmx::link {

// Measurement protocol state (set by the probe, used by acquisition).
enum MeasProtocol : int { MeasNone = 0, MeasShort = 1, MeasLong = 2, MeasPolled = 3 };

// Catalogue message of the operation text for a command code (tables); -1 if none.
int OperationMessage(int target, quint8 command);

class FrameProtocol {
public:
    FrameProtocol(app::Session& session, ByteLink& link);

    // The protocol switches (menu items MIWithACK, MIWithAnswer, MIWithFrameCRC).
    // A production run reads and checks every acknowledgement whatever the menu says.
    bool WithAck() const { return withAck_ || forcedChecks_ > 0; }
    bool WithAnswer() const { return withAnswer_ || forcedChecks_ > 0; }
    bool MenuWithAck() const { return withAck_; }
    bool MenuWithAnswer() const { return withAnswer_; }
    // While one lives, acknowledgements are read and checked; the menu's switches stay as set.
    class ForcedChecks {
    public:
        explicit ForcedChecks(FrameProtocol& fp) : fp_(fp) { ++fp_.forcedChecks_; }
        ~ForcedChecks() { --fp_.forcedChecks_; }
        ForcedChecks(const ForcedChecks&) = delete;
        ForcedChecks& operator=(const ForcedChecks&) = delete;

    private:
        FrameProtocol& fp_;
    };
    bool WithFrameCrc() const { return withFrameCrc_; }
    void SetWithAck(bool on);
    void SetWithAnswer(bool on);
    void SetWithFrameCrc(bool on);
    // Presets from MONITOR.INI (WITHACK=, WITHANSWER=, WITHFRAMECRC=).
    void ApplyConfig(const app::MonitorConfig& config);

    // One exchange; target 33 routes the line to the test module around it (ForceRTS 0, then
    // 1 whatever the result). The request payload is at Tx()[4..] before the call; the answer
    // lies in Rx() from 0 afterwards. Quiet suppresses only the success text.
    bool SendReceiveCommand(int target, quint8 command, int frameLength, int answerLength,
                            const QString& opText, bool quiet = false);
    bool SendReceiveCommandSub(int address, quint8 command, int frameLength, int answerLength,
                               const QString& opText, bool quiet = false);
    // Unframed (firmware V1.00/V1.10): payload at Tx()[1..n-1].
    bool SendReceiveCommandV100(quint8 command, int n, int answerLength, const QString& opText);

    quint8 GetCRC_Out() const;
    quint8 GetCRC_In() const;
    quint8 GetCRC_long(int record) const;
    quint8 GetCRC_short(int record) const;
    static quint8 GetCRC_Cal(const quint8* block16);

    // The probe at START: sets measProtocol and the timer interval; false for state 0. A
    // sensor that does not stream is asked once by `poll` (the acquisition's request, or
    // PollMeasValues); in the polled mode the timer runs at `pollIntervalMs`.
    bool CheckSerialProtocol(int pollIntervalMs, const std::function<bool()>& poll);
    // The polled request: command 0x23 with the answer length of the current sensor type's
    // firmware.
    bool PollMeasValues();
    int measProtocol() const { return measProtocol_; }
    void setMeasProtocol(int state) { measProtocol_ = state; }
    // The acquisition timer's interval as the probe left it (200 ms at start).
    int timerIntervalMs() const { return timerIntervalMs_; }

    ByteLink& link() { return *link_; }

private:
    void Status(const QString& opText, int message, const QString& extra = QString());
    void SetTimerInterval(int ms);

    app::Session* session_;
    ByteLink* link_;
    bool withAck_ = true;
    bool withAnswer_ = true;
    bool withFrameCrc_ = false;
    int forcedChecks_ = 0;
    int measProtocol_ = MeasNone;
    int timerIntervalMs_ = 200;
};

} // namespace vmx::link
