#pragma once
// The parameter editor without widgets: how each editor text becomes block bytes and back,
// the normalisations the refresh applies to the edit block, the colour/level bits of the
// panels, the self-test list, the serial-mode labels and lists. The window and vmxctl share it,
// so a block written from the command line is the block the window would have written.

#include "sensor/ParameterBlock.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <functional>
#include <utility>
#include <vector>

namespace vmx::sensor {

// ---- the three conversion rules ------------------------------------------------------------

// A decimal number as typed: blanks around it ignored, a comma taken as decimal point.
bool ParseEditNumber(const QString& text, double& value);
// A whole number as typed: decimal, or hexadecimal with "$" or "0x" in front.
bool ParseEditInteger(const QString& text, qint64& value);

// Integer rule: clamp to the maximum, then to the minimum; unparsable text keeps `old`.
int TestLimits(const QString& text, int min, int max, int old);
// Scaled rule: v clamped to [min, max]; (v - offset) * factor to the nearest integer, 0 when
// v - offset is negative; unparsable text keeps `old`.
int TestLimitsTime(const QString& text, double min, double max, double offset, double factor, int old);
// Real rule: v - offset clamped to [min, max], times factor to the nearest integer;
// unparsable text gives `dflt`.
int TestLimitsReal(const QString& text, double min, double max, double offset, double factor, int dflt);

// ---- the numeric edits ---------------------------------------------------------------------

enum class EditRule { Integer, Scaled, Real };
enum class EditShow {
    Integer,     // the stored value
    Scaled,      // stored / factor + offset with `Decimals` places
    ScaledInt,   // stored / factor, whole
    PulseOrOff,  // as Scaled, stored 0 shows "OFF"
    ServiceTime, // stored * 4, or "no Limit" for 4 and less
    Hex4,        // "$%4.4X"
};

// One numeric editor: a control name, where its value lives and how it is converted.
struct EditField {
    QString Name;
    int Offset = 0; // block offset; -1 for the extra word
    int Width = 1;  // 1 byte, 2 word
    EditRule Rule = EditRule::Integer;
    double Min = 0, Max = 0;
    double ValueOffset = 0; // subtracted before scaling
    double Factor = 1;
    EditShow Show = EditShow::Integer;
    int Decimals = 1;
    int HintMessage = -1;   // "int. = %d" + line break + this message
    bool SecondSet = false; // the V1.40 page's copy of a control
    int BubbleRow = -1;     // row of the output-configuration table, -1 elsewhere
};

// Every numeric editor of the block: the settings pages, the second set and the 30 edits of
// the output-configuration table (names EBubbleTab_<row>_<column>).
const std::vector<EditField>& EditFields();
const EditField* FindEditField(const QString& name);

// The field's stored value (byte, word or extra word).
int FieldValue(const ParameterBlock& b, const EditField& f);
void SetFieldValue(ParameterBlock& b, const EditField& f, int value);
// Applies the field's rule to `text`; true when the block changed.
bool ApplyEditText(ParameterBlock& b, const EditField& f, const QString& text);
// The text the field shows; `msg` gives catalogue texts ("no Limit").
QString EditFieldText(const ParameterBlock& b, const EditField& f, const std::function<QString(int)>& msg);
// Hint of the amplitude increment and decrement edits; empty for the others.
QString EditFieldHint(const ParameterBlock& b, const EditField& f, const std::function<QString(int)>& msg);

// Names of the bubble-table edits.
QString BubbleEditName(int row, int column);

// ---- lists and check boxes -----------------------------------------------------------------

// Averaging, burst and mode lists: a stored index shows at most the last item.
int ListItem(int stored, int count);
// CBStartCfg: upper nibble of byte 23 <-> item.
int StartCfgItem(const ParameterBlock& b);
void SetStartCfgItem(ParameterBlock& b, int item);
// CBInitInterval: byte 30 <-> item.
int InitIntervalItem(const ParameterBlock& b);
void SetInitIntervalItem(ParameterBlock& b, int item);

// The self-test list: item k is checked when bit k of byte 62 is set or bit k of byte 63 clear.
inline constexpr int kSecurityItems = 7;
bool SecurityItemChecked(const ParameterBlock& b, int item);
// Byte 62 from the checked items, byte 63 its inverse.
void SetSecurityItems(ParameterBlock& b, const std::vector<bool>& checked);

// A gain-test cell: unparsable 0, above 255 255; shown "%3.3d".
quint8 GainCellValue(const QString& text);
QString GainCellText(quint8 v);
// Gain-test cell (row 1..5, column 1..6 of the grid) to its block offset; -1 outside.
int GainCellOffset(int gridRow, int gridColumn);
// The grid's edit mask for a cell (empty for the headings).
QString GainTestEditMask(int gridColumn, int gridRow);

// ---- colour and level panels ---------------------------------------------------------------

struct PanelBit {
    int Offset = -1; // block byte
    int Bit = 0;
    bool BubbleRow = false; // output bits of the bubble table: the byte is masked with 0x17
};
// Which byte and bit a panel tag stands for; Offset -1 for a tag without a meaning.
PanelBit PanelBitOfTag(int tag);
// SetCfgLED_Out: toggles the panel's bit; false for an unknown tag.
bool ToggleCfgBit(ParameterBlock& b, int tag);
enum class PanelLook { Off, Green, Red, Blue, Auto, High, Low };
PanelLook PanelLookOf(const ParameterBlock& b, int tag);

// ---- normalisations and the bubble-table check ---------------------------------------------

// What the refresh does to the edit block before it shows it (flags and block length: the
// current type's). The checksum byte follows the contents, as the write computes it, so a file
// saved from the block verifies against the sensor it came from.
void NormaliseEditBlock(ParameterBlock& b, quint32 flags, int parLen);
// "--> okay" or "--> " + message 134.
QString BubbleTableCheckText(bool valid, const std::function<QString(int)>& msg);

// ---- serial modes --------------------------------------------------------------------------

// The IN and OUT label messages of a serial (or start configuration) mode.
std::pair<int, int> SerialModeLabelMessages(int mode);
// List message of CBMSerialMode: 476 (bit 16), 475 (bit 15), 425 (bit 13), else 424.
int SerialModeListMessage(quint32 flags);
// List message of CBStartCfgMode: 476, 475, else 425.
int StartCfgModeListMessage(quint32 flags);
// Number of modes in those lists.
int SerialModeCount(quint32 flags);
int StartCfgModeCount(quint32 flags);

// ---- settings outside the block -----------------------------------------------------------

namespace Limits {
inline constexpr int MaxBubbleMin = 64, MaxBubbleMax = 256;
inline constexpr int ThresholdMin = 0, ThresholdMax = 250;
inline constexpr int BubbleTestTimeMin = 0, BubbleTestTimeMax = 250;
inline constexpr int AdjustingSpeedMin = 1, AdjustingSpeedMax = 65535;
} // namespace Limits

} // namespace vmx::sensor
