#include "sim/Sensor.h"

#include <algorithm>
#include <cmath>

namespace vmx::sim {

using namespace proto;

Generation SensorProfile::generation() const
{
    if (firmware == 110) return Generation::V110;
    if (firmware == 100) return Generation::V100;
    if (type == 5 && subType == 30) return Generation::G0530;
    return Generation::Framed;
}

bool SensorProfile::SetKey(qint64 k)
{
    if (k < 0 || k > 99999999) return false;
    type = int(k / 1000000);
    subType = int(k / 1000 % 1000);
    firmware = int(k % 1000);
    if (firmware < 100) return false;
    ident = (type == 1 || type == 2) ? 35 : 20;
    // The generations differ in where their boot sector lies (catalogue column BootAddr).
    bootAddr = firmware >= 130 ? 0x1A00 : 0x0C00;
    mcu = bootAddr == 0x1A00 ? 330 : 332;
    const Generation g = generation();
    serialIf = g == Generation::G0530 ? kIfRs232 : kIfMaster;
    hardware = g == Generation::G0530 ? 6 : (firmware >= 140 ? 14 : 2);
    // Parameter block length and flash blocks by generation, as the catalogue has them.
    if (firmware <= 110)
        parLen = 0;
    else if (firmware >= 130)
        parLen = 256;
    else if (type == 6 && firmware < 122)
        parLen = 32;
    else
        parLen = 64;
    parAddr = parLen > 0 ? 0x0A00 : 0;
    snOffset = (firmware >= 140 || g == Generation::G0530) ? 128 : 0xFFFF;
    calOffset = (g == Generation::G0530 && firmware >= 201) ? 144 : 0xFFFF;
    return true;
}

Sensor::Sensor(SensorProfile profile) : profile_(std::move(profile)), population_(profile_.seed)
{
    faults = profile_.faults;
    ownKind_ = {profile_.amplitudeLoss, profile_.stuckOutput, profile_.versionSkew, profile_.faults.mute};
    DrawUnit();
    boot_.readAddressSkew = profile_.readAddressSkew;
    InitFlash();
    if (profile_.blank) {
        boot_.flash().fill(0xFF);
        checkProgram_ = true;
    }
    if (profile_.powered && !HasProgram()) {
        run_ = Run::Halted;
    } else if (profile_.powered) {
        run_ = Run::App;
        mode_ = profile_.mode;
        streamFromUs_ = 0;
    }
}

void Sensor::DrawUnit()
{
    if (profile_.spread <= 0.0 && profile_.badPercent <= 0.0) return;
    // Drawn from the 32-bit words of mt19937 alone (fully defined), so a seed gives the same
    // population with every standard library: a uniform in [0, 1) and a normal by Box-Muller.
    auto uniform = [this] { return double(population_()) / 4294967296.0; };
    const double u1 = 1.0 - uniform(), u2 = uniform();
    const double normal = std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * M_PI * u2);
    unitOffset_ = int(std::lround(profile_.spread * normal));
    UnitKind kind = ownKind_;
    if (uniform() * 100.0 < profile_.badPercent) {
        switch (population_() % 4) {
        case 0:
            kind.amplitudeLoss = 120;
            break;
        case 1:
            kind.stuckOutput = 0x02;
            break;
        case 2:
            kind.versionSkew = 1;
            break;
        default:
            kind.mute = true;
        }
    }
    profile_.amplitudeLoss = kind.amplitudeLoss;
    profile_.stuckOutput = kind.stuckOutput;
    profile_.versionSkew = kind.versionSkew;
    faults.mute = kind.mute;
}

quint32 Sensor::Rand()
{
    // xorshift: the jitter of the measuring model, the same every run.
    rng_ ^= rng_ << 13;
    rng_ ^= rng_ >> 17;
    rng_ ^= rng_ << 5;
    return rng_;
}

bool Sensor::Streaming() const
{
    return run_ == Run::App && !faults.Muted() && (mode_ == 1 || mode_ == 2);
}

int Sensor::RecordSize() const
{
    return mode_ == 1 ? kShortRecord : kLongRecord;
}
int Sensor::BlockSize() const
{
    return mode_ == 1 ? kShortBlock : kLongBlock;
}

void Sensor::Tick(qint64 t)
{
    nowUs_ = std::max(nowUs_, t);
    if ((run_ == Run::Starting || run_ == Run::EnteringBoot) && t >= readyAt_) {
        run_ = next_;
        if (run_ == Run::App && !HasProgram()) run_ = Run::Halted;
        parser_.Reset();
        pendingNeed_ = 0;
        if (run_ == Run::App) {
            mode_ = profile_.mode;
            streamIndex_ = 0;
            streamFromUs_ = readyAt_;
        }
    }
}

void Sensor::FillBlock()
{
    const qint64 at = std::max(out.FreeUs(), streamFromUs_);
    const MeasValues m = Measure(at);
    FillBlockFrom(m);
    if (traceStreamBlocks && trace)
        trace->Add(TraceEntry{at, Dir::Out, Unit::Sensor,
                              QByteArray(reinterpret_cast<const char*>(block_.data()), BlockSize()), true,
                              QStringLiteral("stream block")});
}

void Sensor::FillBlockFrom(const MeasValues& m)
{
    if (mode_ == 1) {
        for (int k = 0; k < kRecordsPerBlock; ++k) {
            quint8* r = block_.data() + k * kShortRecord;
            r[0] = kShortStart;
            r[1] = m.out;
            r[2] = Crc6(kShortCrcStart, r + 1, 1);
        }
        return;
    }
    for (int k = 0; k < kRecordsPerBlock; ++k) {
        quint8* r = block_.data() + k * kLongRecord;
        r[0] = kLongStart;
        r[1] = m.out;
        r[2] = quint8(m.v[size_t(k)] & 0x7F);
        r[3] = quint8((m.v[size_t(k)] & 0x80) | k);
        r[4] = Crc6(kLongCrcStart, r + 1, 3);
    }
}

void Sensor::EmitStreamByte()
{
    const int bs = BlockSize();
    const int at = int(streamIndex_ % bs);
    if (at == 0) FillBlock();
    ++streamIndex_;
    ++streamCount_;
    quint8 b = block_[size_t(at)];
    if (faults.dropStreamEvery > 0 && streamCount_ % faults.dropStreamEvery == 0) {
        // Lost on the line: the time passes, the byte never arrives.
        streamFromUs_ = out.FreeAfterUs(1, streamFromUs_);
        return;
    }
    if (faults.corruptStreamEvery > 0 && streamCount_ % faults.corruptStreamEvery == 0) b ^= 0x01;
    out.Send(b, streamFromUs_);
}

void Sensor::Advance(qint64 t)
{
    Tick(t);
    if (!Streaming()) {
        // A muted sensor sends nothing meanwhile; its stream goes on from when it speaks
        // again, not with the time it was silent.
        if (run_ == Run::App && faults.mute && (mode_ == 1 || mode_ == 2))
            streamFromUs_ = std::max(streamFromUs_, t);
        return;
    }
    // A program that does not read for a long time would only find an overrun driver buffer;
    // skip whole blocks instead of producing them.
    constexpr qint64 kCap = 65536 + 4096; // beyond any driver buffer of the PC side
    const qint64 start = std::max(out.FreeUs(), streamFromUs_);
    if (t > start) {
        const qint64 fit = (t - start) * kBytesPerSecond / 1000000;
        if (fit > kCap) {
            const qint64 skip = (fit - kCap) / BlockSize() * BlockSize();
            if (skip > 0) {
                // Land on a block boundary so the skipped stream keeps its record layout.
                const qint64 rest = (BlockSize() - streamIndex_ % BlockSize()) % BlockSize();
                for (qint64 i = 0; i < rest; ++i)
                    EmitStreamByte();
                streamIndex_ += skip;
                skipped_ += skip;
                samples_ += skip / BlockSize();
                streamFromUs_ = std::max(out.FreeUs(), streamFromUs_) + BytesToUs(skip);
            }
        }
    }
    while (out.FreeAfterUs(1, streamFromUs_) <= t)
        EmitStreamByte();
}

qint64 Sensor::SpontaneousUs(qint64 count, qint64 nowUs) const
{
    if (faults.Muted()) return -1;
    qint64 from = streamFromUs_;
    if (run_ == Run::Starting && next_ == Run::App && HasProgram() &&
        (profile_.mode == 1 || profile_.mode == 2))
        from = std::max(readyAt_, nowUs);
    else if (!Streaming())
        return -1;
    return out.FreeAfterUs(count, from);
}

void Sensor::FinishRecord()
{
    if (!Streaming()) return;
    while (streamIndex_ % RecordSize() != 0)
        EmitStreamByte();
}

void Sensor::StopOutput(qint64 t)
{
    Advance(t);
    FinishRecord();
}

void Sensor::Reply(Unit unit, const QByteArray& bytes, qint64 t)
{
    // A streaming sensor completes the record on the line, answers, then streams on.
    StopOutput(t);
    Answer(unit, bytes, t, kProcUs);
}

void Sensor::SetMode(int mode, qint64 t)
{
    StopOutput(t);
    mode_ = mode;
    streamIndex_ = 0;
    streamFromUs_ = std::max(out.FreeUs(), t + kModeChangeUs);
}

void Sensor::SetPower(bool on, qint64 t)
{
    Advance(t);
    if (!on) {
        run_ = Run::Off;
        parser_.Reset();
        // What was still on the wire is cut off.
        while (!out.q.empty() && out.q.back().t > t)
            out.q.pop_back();
        return;
    }
    if (run_ != Run::Off) return;
    run_ = Run::Starting;
    next_ = Run::App;
    readyAt_ = t + kRestartUs;
}

void Sensor::Restart(qint64 t)
{
    StopOutput(t);
    if (run_ == Run::Off) return;
    run_ = Run::Starting;
    next_ = Run::App;
    readyAt_ = std::max(out.FreeUs(), t) + kRestartUs;
}

bool Sensor::BubbleAt(qint64 t, int* drop) const
{
    if (t >= bubbleFrom_ && t < bubbleUntil_) {
        if (drop) *drop = bubbleDrop_;
        return true;
    }
    if (trainFrom_ >= 0 && t >= trainFrom_ && trainPeriod_ > 0 &&
        (t - trainFrom_) % trainPeriod_ < trainWidth_) {
        if (drop) *drop = trainDrop_;
        return true;
    }
    return false;
}

bool Sensor::AirAt(qint64 t) const
{
    if (profile_.tube != Tube::Filled) return true;
    int drop = 0;
    return BubbleAt(t, &drop) && drop >= kLargeBubbleDrop;
}

quint8 Sensor::OutputLevel(qint64 t) const
{
    if (profile_.stuckOutput) return profile_.stuckOutput;
    const bool air = AirAt(t);
    if (mode_ == 0) return air ? 0x02 : 0x01;
    return air ? 0x01 : 0x02;
}

bool Sensor::HasProgram() const
{
    if (!checkProgram_) return true;
    const auto& f = boot_.flash();
    return f[0] != 0xFF || f[1] != 0xFF || f[2] != 0xFF;
}

void Sensor::FlashChanged(qint64 t)
{
    Advance(t);
    if (run_ == Run::Halted && HasProgram()) {
        run_ = Run::App;
        mode_ = profile_.mode;
        streamIndex_ = 0;
        streamFromUs_ = std::max(out.FreeUs(), t);
    } else if (run_ == Run::App && !HasProgram()) {
        run_ = Run::Halted;
    }
}

bool Sensor::C2Halt(qint64 t)
{
    StopOutput(t);
    if (run_ == Run::Off) return false;
    run_ = Run::Halted;
    parser_.Reset();
    checkProgram_ = true;
    return true;
}

void Sensor::C2Reset(qint64 t)
{
    Advance(t);
    if (run_ == Run::Off) return;
    run_ = Run::Starting;
    next_ = Run::App;
    readyAt_ = std::max(out.FreeUs(), t) + kRestartUs;
}

void Sensor::NextUnit(qint64 t)
{
    Advance(t);
    DrawUnit();
    InitFlash();
    if (profile_.blank) {
        boot_.flash().fill(0xFF);
        checkProgram_ = true;
    }
    FlashChanged(t);
}

void Sensor::SetTube(Tube tube, qint64 t)
{
    Advance(t);
    profile_.tube = tube;
    trainFrom_ = -1;
}

void Sensor::BubbleTrain(qint64 t, qint64 periodUs, qint64 widthUs, int dropTenthDb)
{
    Advance(t);
    trainFrom_ = t;
    trainPeriod_ = periodUs;
    trainWidth_ = widthUs;
    trainDrop_ = dropTenthDb;
}

void Sensor::StopBubbles(qint64 t)
{
    Advance(t);
    trainFrom_ = -1;
    bubbleUntil_ = bubbleFrom_ = -1;
}

void Sensor::Bubble(qint64 t, qint64 durationUs, int dropTenthDb)
{
    Advance(t);
    bubbleFrom_ = t;
    bubbleUntil_ = t + durationUs;
    bubbleDrop_ = dropTenthDb;
}

namespace {
// Lin of amplitude 0 (0.1 dB steps above it): Ampl 255 is Lin 751, inside the 10-bit ADC.
constexpr double kLinAtZeroAmpl = 40.0;
constexpr int kZero = 900;
// Received signal in 0.1 dB at gain step 0; each step adds 10 dB.
constexpr int kFilledBase = -10;  // gain 2 holds it at 190
constexpr int kEmptyBase = -386;  // air: even gain 4 hears little
constexpr int kNoTubeBase = -500; // nothing between the transducers
constexpr int kAmplTarget = 230;  // the automatic control's ceiling
constexpr int kSmallBubbleLimit = 150;

int AmplOfLin(int lin)
{
    return std::clamp(int(std::lround(200.0 * std::log10(std::max(lin, 1) / kLinAtZeroAmpl))), 0, 255);
}
int LinOfAmpl(int ampl)
{
    return int(std::lround(kLinAtZeroAmpl * std::pow(10.0, ampl / 200.0)));
}
} // namespace

MeasValues Sensor::Measure(qint64 t)
{
    ++samples_;
    const int j = int(Rand() % 7) - 3;
    int drop = bubbleDrop_;
    const bool bubble = BubbleAt(t, &drop);
    const int base = (profile_.tube == Tube::Filled  ? kFilledBase
                      : profile_.tube == Tube::Empty ? kEmptyBase
                                                     : kNoTubeBase) -
                     profile_.amplitudeLoss;
    // Automatic gain: the highest step that keeps the liquid's signal below the ceiling.
    int gain = 4;
    while (gain > 0 && base + 100 * gain > kAmplTarget)
        --gain;
    if (gainStep_ <= 4) gain = gainStep_;
    const int nominal = std::clamp(base + 100 * gain + unitOffset_, 0, 255);
    int target = std::clamp(nominal + j, 0, 255);
    if (bubble && profile_.tube == Tube::Filled) target = std::clamp(nominal - drop + j, 0, 255);
    // The sensor measures Lin = Zero - ADC and reports its logarithm.
    const int zero = kZero + j;
    const int lin = std::min(LinOfAmpl(target), zero);
    const int adc = zero - lin;
    const int ampl = AmplOfLin(lin);
    // AMax is the reference learnt on liquid: it follows the signal, but not into a bubble or air.
    const int liquidRef = std::clamp(kFilledBase + 100 * gain, 0, 255);
    int amax = std::clamp(ampl + 6 + (j > 0 ? j : 0), 0, 255);
    if (profile_.tube == Tube::Empty) amax = std::clamp(liquidRef + 6, 0, 255);
    if (bubble && profile_.tube == Tube::Filled) amax = std::clamp(nominal + 6, 0, 255);
    const int bavg = std::clamp(amax - ampl, 0, 255);
    const int error = profile_.tube == Tube::None && profile_.noTubeError ? 2 : 0; // no tube inserted
    // OUT: 0..25 liquid, 25..150 small bubbles, 240 large bubbles or air, 241 fault.
    int outValue = bavg <= kSmallBubbleLimit ? bavg : 240;
    if (error) outValue = 241;
    const int alarm = (outValue == 240 || error) ? 1 : 0;
    const int flags =
        (profile_.tube != Tube::None ? 0x01 : 0x00) | (bubble ? 0x02 : 0x00) | ((led_ & 0x0F) << 4);
    const int test = adjust_ & 0xFFFF;
    MeasValues m;
    auto& v = m.v;
    v[0] = quint8(zero >> 8);
    v[1] = quint8(zero);
    v[2] = quint8(adc >> 8);
    v[3] = quint8(adc);
    v[4] = quint8(lin >> 8);
    v[5] = quint8(lin);
    v[6] = quint8(ampl);
    v[7] = quint8(amax);
    v[8] = quint8(gain);
    v[9] = quint8(alarm);
    v[10] = quint8(flags);
    v[11] = quint8(bavg);
    v[12] = quint8(error);
    v[13] = quint8(test >> 8);
    v[14] = quint8(test);
    v[15] = quint8(profile_.firmware - profile_.versionSkew);
    m.out = quint8(outValue);
    return m;
}

std::array<quint8, 16> Sensor::IdentBlock() const
{
    std::array<quint8, 16> b = IdentBlockOfProfile();
    const int at = profile_.snOffset;
    if (at >= 0 && at + 16 <= BootLoader::kPageSize) {
        const auto& flash = boot_.flash();
        for (int i = 12; i < 16; ++i)
            b[size_t(i)] = flash[size_t(at + i)];
    }
    return b;
}

std::array<quint8, 16> Sensor::IdentBlockOfProfile() const
{
    std::array<quint8, 16> b{};
    b[0] = quint8(profile_.ident);
    b[1] = quint8(profile_.type);
    b[2] = quint8(profile_.subType);
    b[3] = quint8(profile_.hardware);
    b[4] = quint8(profile_.firmware & 0xFF);
    b[5] = quint8(profile_.firmware >> 8);
    b[12] = quint8(profile_.model);
    b[13] = quint8(profile_.year);
    b[14] = quint8(profile_.serialNo & 0xFF);
    b[15] = quint8(profile_.serialNo >> 8);
    return b;
}

std::array<quint8, 16> Sensor::CalBlock() const
{
    const int at = profile_.calOffset;
    if (at < 0 || at + 16 > BootLoader::kPageSize) return profile_.cal;
    std::array<quint8, 16> b{};
    const auto& flash = boot_.flash();
    std::copy_n(flash.begin() + at, 16, b.begin());
    return b;
}

void Sensor::InitFlash()
{
    auto& flash = boot_.flash();
    const SensorProfile& p = profile_;
    if (p.snOffset >= 0 && p.snOffset + 16 <= BootLoader::kPageSize) {
        const auto id = IdentBlockOfProfile();
        std::copy(id.begin(), id.end(), flash.begin() + p.snOffset);
    }
    if (p.calOffset >= 0 && p.calOffset + 16 <= BootLoader::kPageSize) {
        std::copy(p.cal.begin(), p.cal.end(), flash.begin() + p.calOffset);
        // The stored block carries its checksum in byte 15 unless it was never written.
        bool blank = true;
        for (int i = 0; i < 15; ++i)
            blank = blank && p.cal[size_t(i)] == 0xFF;
        if (!blank) flash[size_t(p.calOffset + 15)] = Crc6(p.cal[0], p.cal.data() + 1, 14);
    }
    const int len = std::clamp(p.parLen, 0, 256);
    if (len > 0 && p.parAddr >= 0 && p.parAddr + BootLoader::kPageSize <= BootLoader::kFlashSize) {
        quint8* page = flash.data() + p.parAddr;
        std::fill_n(page, BootLoader::kPageSize, quint8(0xFF));
        const auto standard = StandardParameterPage();
        std::copy_n(standard.begin(), len, page);
        // The checksum covers the type's length: bytes 1 .. len - 1, one's complement.
        quint8 sum = 0;
        for (int i = 1; i < len; ++i)
            sum = quint8(sum + page[i]);
        page[0] = quint8(~sum);
        page[510] = quint8(kFactoryExtraWord & 0xFF);
        page[511] = quint8(kFactoryExtraWord >> 8);
    }
}

std::array<quint8, 256> Sensor::StandardParameterPage()
{
    // The factory set every sensor leaves production with (the program's "Standard" set);
    // unused bytes stay erased. Words are little-endian.
    std::array<quint8, 256> b;
    b.fill(0xFF);
    b[0] = 0xCF;
    b[1] = 0x20; // send pulse
    b[2] = 0x0C; // test send pulse
    b[3] = 0x18; // gate begin
    b[4] = 19;   // gate width
    b[5] = 19;   // gate width at zero
    auto word = [&b](int at, int v) {
        b[size_t(at)] = quint8(v & 0xFF);
        b[size_t(at + 1)] = quint8(v >> 8);
    };
    word(6, 1000);    // ADC zero, upper limit
    word(8, 700);     // ADC zero, lower limit
    word(10, 600);    // maximum amplitude on liquid, upper
    word(12, 200);    // and lower
    word(14, 0xFFFF); // amplitude increment
    word(16, 200);    // amplitude decrement
    b[18] = 225;      // AMax upper limit
    b[19] = 80;       // AMax lower limit
    b[20] = 0x31;     // bubble averaging on, index 3
    b[21] = 0x30;     // amplitude bubble limit
    b[22] = 5;        // bubble factor
    b[23] = 8;        // start configuration
    b[24] = 20;       // error output
    b[25] = 18;       // air output
    b[26] = 1;        // liquid output
    word(27, 0);      // hold time
    b[29] = 225;      // zero averaging
    b[30] = 12;       // initial interval
    b[31] = 100;      // gain test increment
    static constexpr quint8 kGain[5][6] = {
        {140, 110, 17, 0, 5, 0},       {245, 215, 127, 97, 15, 0},     {255, 250, 232, 202, 55, 0},
        {255, 250, 255, 250, 130, 80}, {255, 250, 255, 250, 210, 170},
    };
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 6; ++c)
            b[size_t(32 + 6 * r + c)] = kGain[r][c];
    b[62] = 0x16; // self tests and their inverse
    b[63] = 0xE9;
    b[64] = 146;  // service mode time
    b[65] = 10;   // maximum difference
    b[66] = 0x51; // burst
    b[67] = 0x20; // test burst
    for (int k = 0; k < 10; ++k) {
        quint8* row = b.data() + 68 + 4 * k;
        if (k < 8) {
            const int value = std::min(240, 60 * k);
            row[0] = quint8(std::min(48, 12 * k));
            row[1] = quint8(value);
            row[2] = quint8(std::min(250, 25 * k));
            row[3] = value >= 240 ? 18 : 1;
        } else {
            row[0] = 0xFF;
            row[1] = k == 8 ? 240 : 241;
            row[2] = k == 8 ? 250 : 255;
            row[3] = k == 8 ? 2 : 3;
        }
    }
    b[108] = 0;    // bubble table not linear
    b[109] = 0;    // start configuration mode
    b[110] = 8;    // input configuration
    b[111] = 48;   // amplitude test limit
    b[112] = 0xFF; // external reset time
    return b;
}

std::array<quint8, 16> Sensor::BootIdentBlock() const
{
    std::array<quint8, 16> b{};
    b[0] = 0x00; // software type
    b[1] = quint8(profile_.bootVersion);
    b[2] = quint8(profile_.bootAddr >> 8);
    b[3] = quint8(profile_.bootAddr & 0xFF);
    b[4] = quint8(profile_.mcu >> 8);
    b[5] = quint8(profile_.mcu & 0xFF);
    for (int i = 6; i < 16; ++i)
        b[size_t(i)] = quint8(i);
    return b;
}

void Sensor::Receive(quint8 b, qint64 t)
{
    Advance(t);
    if (run_ != Run::App && run_ != Run::Boot) return; // off, restarting: the UART is not listening
    if (profile_.generation() == Generation::V110) {
        if (run_ == Run::App)
            UnframedApp(b, t);
        else
            UnframedBoot(b, t);
        return;
    }
    // The V1.00 boot loader takes its memory commands (and the download's one-byte ping and
    // restart) unframed, beside the framed start, ping, identification and restart.
    if (profile_.generation() == Generation::V100 && run_ == Run::Boot &&
        (pendingNeed_ > 0 || (parser_.Idle(t) && OldBootCommand(b)))) {
        UnframedBoot(b, t);
        return;
    }
    const Unit unit = run_ == Run::Boot ? Unit::BootLoader : Unit::Sensor;
    switch (parser_.Feed(b, t)) {
    case FrameParser::Result::None:
        return;
    case FrameParser::Result::Bad:
        TraceIn(unit, parser_.frame(), t, false, parser_.reason());
        return;
    case FrameParser::Result::Frame:
        if (run_ == Run::Boot)
            BootFramed(parser_.frame(), t);
        else
            App(parser_.frame(), t);
        return;
    }
}

namespace {
QByteArray Bytes(const std::array<quint8, 16>& a)
{
    return QByteArray(reinterpret_cast<const char*>(a.data()), 16);
}
} // namespace

void Sensor::App(const QByteArray& f, qint64 t)
{
    const quint8 c = quint8(f[3]);
    const int len = int(f.size());
    const quint8 p0 = len > 5 ? quint8(f[4]) : 0;
    const Generation gen = profile_.generation();
    auto accept = [&](const QString& note = QString()) { TraceIn(Unit::Sensor, f, t, true, note); };
    auto reject = [&](const QString& note) { TraceIn(Unit::Sensor, f, t, false, note); };

    switch (c) {
    case cmd::Ping:
        if (len != 5) break;
        accept();
        Reply(Unit::Sensor, Ack(), t);
        return;
    case cmd::Restart:
        if (len != 5) break;
        accept();
        Reply(Unit::Sensor, Ack(), t);
        Restart(t);
        return;
    case cmd::StartBoot:
        if (len != 5) break;
        StopOutput(t);
        if (gen == Generation::G0530) {
            accept(QStringLiteral("boot entry armed"));
            bootArmUntil_ = t + kArmUs;
            return;
        }
        accept();
        run_ = Run::EnteringBoot;
        next_ = Run::Boot;
        readyAt_ = std::max(out.FreeUs(), t) + kBootEntryUs;
        return;
    case cmd::StartBoot2:
        if (len != 6 || gen != Generation::G0530 || p0 != 0xA0 || t > bootArmUntil_) break;
        accept();
        StopOutput(t);
        run_ = Run::EnteringBoot;
        next_ = Run::Boot;
        readyAt_ = std::max(out.FreeUs(), t) + kBootEntryUs;
        return;
    case cmd::MeasData: {
        if (len != 5) break;
        accept();
        const MeasValues m = Measure(t);
        QByteArray payload(reinterpret_cast<const char*>(m.v.data()), 16);
        if (profile_.firmware >= kMeasFirmwareWithOut) payload.append(char(m.out));
        Reply(Unit::Sensor, Framed(c, payload), t);
        return;
    }
    case cmd::GetIdent:
        if (len != 5) break;
        // The 05.30 generation answers its identity in the service mode only.
        if (gen == Generation::G0530 && mode_ != 3) {
            reject(QStringLiteral("not in service mode"));
            return;
        }
        accept();
        Reply(Unit::Sensor, Framed(c, Bytes(IdentBlock())), t);
        return;
    case cmd::ReadCal:
        if (len != 5) break;
        if (gen == Generation::G0530 && mode_ != 3) {
            reject(QStringLiteral("not in service mode"));
            return;
        }
        accept();
        Reply(Unit::Sensor, Framed(c, Bytes(CalBlock())), t);
        return;
    case cmd::SetLed:
        if (len != 6) break;
        accept();
        led_ = p0;
        return;
    case cmd::SetSerialMode:
        if (len == 5 && gen == Generation::G0530) {
            accept(QStringLiteral("service mode armed"));
            serialArmUntil_ = t + kArmUs;
            return;
        }
        if (len != 6) break;
        if (gen == Generation::Framed && profile_.firmware >= 140) {
            // V1.40: the mode index itself; codes of the older command mean nothing to it.
            if (p0 > 10) {
                reject(QStringLiteral("unknown mode"));
                return;
            }
            accept();
            SetMode(p0, t);
        } else {
            int m = 0;
            switch (p0) {
            case 0x00:
                m = 0;
                break;
            case 0x10:
                m = 1;
                break;
            case 0x30:
                m = 2;
                break;
            case 0x50:
                m = 3;
                break;
            case 0x80:
                m = 4;
                break;
            default:
                reject(QStringLiteral("unknown mode"));
                return;
            }
            accept();
            SetMode(m, t);
        }
        return;
    case cmd::SetSerialMode2:
        if (len != 6 || p0 != k0530ServiceKey) break;
        if (gen == Generation::G0530 && t > serialArmUntil_) {
            reject(QStringLiteral("not armed"));
            return;
        }
        accept();
        SetMode(3, t);
        return;
    case cmd::BubbleTest:
        if (len != 6) break;
        accept();
        Bubble(t, std::max<qint64>(p0, 5) * 10000, kSmallBubbleDrop);
        return;
    case cmd::TempAdjusting:
        if (len != 7) break;
        accept();
        adjust_ = (quint8(f[4]) << 8) | quint8(f[5]);
        return;
    case cmd::SetGain: {
        if (len != 6) break;
        accept();
        gainStep_ = p0;
        const MeasValues m = Measure(t);
        QByteArray payload;
        payload.append(char(gainStep_ <= 4 ? gainStep_ : 255));
        payload.append(char(m.v[6]));
        payload.append(char(m.v[7]));
        payload.append(char(m.v[1]));
        Reply(Unit::Sensor, Framed(c, payload), t);
        return;
    }
    default:
        break;
    }
    reject(QStringLiteral("unknown command"));
}

void Sensor::BootFramed(const QByteArray& f, qint64 t)
{
    const quint8 c = quint8(f[3]);
    const int len = int(f.size());
    switch (c) {
    case cmd::Ping:
        if (len != 5) break;
        TraceIn(Unit::BootLoader, f, t, true);
        Reply(Unit::BootLoader, Ack(), t);
        return;
    case cmd::BootIdent:
        if (len != 5) break;
        TraceIn(Unit::BootLoader, f, t, true);
        Reply(Unit::BootLoader, Framed(c, Bytes(BootIdentBlock())), t);
        return;
    case cmd::Restart:
        if (len != 5) break;
        TraceIn(Unit::BootLoader, f, t, true);
        Reply(Unit::BootLoader, Ack(), t);
        Restart(t);
        return;
    default:
        break;
    }
    if (auto r = RunBootMemory(f, t); r.handled) return;
    TraceIn(Unit::BootLoader, f, t, false, QStringLiteral("unknown command"));
}

void Sensor::UnframedApp(quint8 b, qint64 t)
{
    const QByteArray one(1, char(b));
    if (b == cmd::V100Restart) {
        TraceIn(Unit::Sensor, one, t, true);
        Restart(t);
    } else if (b == cmd::V100StartBoot) {
        TraceIn(Unit::Sensor, one, t, true);
        StopOutput(t);
        run_ = Run::EnteringBoot;
        next_ = Run::Boot;
        readyAt_ = std::max(out.FreeUs(), t) + kBootEntryUs;
    } else if (b == cmd::V100Ping) {
        TraceIn(Unit::Sensor, one, t, true);
        Reply(Unit::Sensor, one, t);
    } else if ((b & 0xC0) == cmd::V100ConfigBase) {
        // 64 + LED bits (0..3) + mode bits: 16 short stream, 48 long stream.
        TraceIn(Unit::Sensor, one, t, true, QStringLiteral("configuration"));
        led_ = b & 0x0F;
        const int bits = b & 0x30;
        SetMode(bits == 0x10 ? 1 : bits == 0x30 ? 2 : 0, t);
    } else {
        TraceIn(Unit::Sensor, one, t, false, QStringLiteral("unknown command"));
    }
}

void Sensor::UnframedBoot(quint8 b, qint64 t)
{
    if (pendingNeed_ > 0) {
        pending_.append(char(b));
        if (--pendingNeed_ == 0) RunBootMemory(pending_, t);
        return;
    }
    const QByteArray one(1, char(b));
    switch (b) {
    case cmd::V100Ping:
        TraceIn(Unit::BootLoader, one, t, true);
        Reply(Unit::BootLoader, one, t);
        return;
    case cmd::V100BootIdent:
        // V1.00 identifies itself framed only.
        if (profile_.generation() != Generation::V110) break;
        TraceIn(Unit::BootLoader, one, t, true);
        Reply(Unit::BootLoader, one + Bytes(BootIdentBlock()), t);
        return;
    case cmd::V100BootRestart:
        TraceIn(Unit::BootLoader, one, t, true);
        Restart(t);
        return;
    case cmd::ReadCode:
        pendingNeed_ = 2;
        break;
    case cmd::V100WriteBlock:
        pendingNeed_ = 19;
        break;
    case cmd::ErasePage:
        pendingNeed_ = 2;
        break;
    default:
        break;
    }
    if (pendingNeed_ == 0) {
        TraceIn(Unit::BootLoader, one, t, false, QStringLiteral("unknown command"));
        return;
    }
    pending_ = one;
}

bool Sensor::OldBootCommand(quint8 b)
{
    switch (b) {
    case cmd::V100Ping:
    case cmd::V100BootRestart:
    case cmd::ReadCode:
    case cmd::V100WriteBlock:
    case cmd::ErasePage:
        return true;
    default:
        return false;
    }
}

// The boot loader's memory commands (framed, or the old unframed ones of V1.10).
BootLoader::Result Sensor::RunBootMemory(const QByteArray& bytes, qint64 t)
{
    if (boot_.bootAddr() != profile_.bootAddr) boot_.SetBootAddr(profile_.bootAddr);
    // Framed commands start with the address byte, the old ones with their command byte.
    const bool old = quint8(bytes[0]) != quint8(kFrameStart + kAddress);
    // V1.00 knows its memory commands in the old form only.
    if (!old && profile_.generation() == Generation::V100) return {};
    const auto r = old ? boot_.Old(bytes) : boot_.Framed(bytes, profile_.generation() != Generation::G0530);
    if (!r.handled) return r;
    TraceIn(Unit::BootLoader, bytes, t, r.ok, r.note);
    if (!r.answer.isEmpty()) Reply(Unit::BootLoader, r.answer, t);
    return r;
}

} // namespace vmx::sim
