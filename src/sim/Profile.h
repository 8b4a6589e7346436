#pragma once
// The simulated bench's profiles: which converters exist and what sensor hangs on them.
//
// A profile is a comma-separated list of words (empty = "adapter"):
//   adapter | converter | tk33 | vo40   add one converter of that kind (line adapter "…9007",
//                                       data converter "…9005", test modules "…9002"/"…9010")
//   all                                 the four kinds above, in that order
//   station                             the production station: tk33 with unit=good,tube=empty;
//                                       the window opens on the test page in manufacturer mode
//                                       with the operator's hands following the prompts
//   broken                              a further line adapter that is listed but cannot be opened
//   key=5028143                         sensor type (type*10^6 + subtype*10^3 + firmware)
//   ident=N  fw=N  serial=N  year=N  hw=N  model=N   single identification numbers
//   stream=long|short|none|polled       output mode after restart (none/polled: mode 3)
//   mode=N                              output mode number after restart
//   tube=filled|empty|none              tube state
//   power=on|off                        sensor power at start
//   notube=error|quiet                  without a tube: error 2 (the bench's default) or a weak
//                                       signal without error
//   unit=good|bad-amplitude|stuck-output|wrong-firmware|no-answer
//                                       a unit on the production station (production data
//                                       blank, notube=quiet), good or with one fault: a weak
//                                       transducer, switching outputs stuck high, a wrong
//                                       firmware version in its measurements, no answer at all
//   spread=SD  bad=PERCENT  seed=N      a population of units: each unit (the first and each
//                                       next one) measures its amplitude around the good
//                                       unit's with standard deviation SD in the value's own
//                                       counts, PERCENT of the units are of one of the faulty
//                                       kinds above, drawn from seed N (default 1): the same
//                                       units every time
//   if=0|1|2|any|two                    serial interface the sensor speaks behind a test module
//                                       (any: one that answers behind each; two: a unit of two
//                                       channels, master behind 1 and 2, slave behind 0, each
//                                       with its own memories, the odd output ports the slave's)
//   parlen=N snoffset=N caloffset=N      parameter block length, identification and
//                                       calibration block offsets in flash (65535 none)
//   fault=mute|unplug|drop[:N]|truncate[:N]|corrupt[:N]|delay:MS   a fault of the sensor
//   after=N                             ... striking only after N answers went out unharmed
//   skew=N                              the boot loader's read answers name address + N
//   blank                               a new sensor chip: code flash erased, silent until
//                                       programmed over C2 through a test module
//   tmfw=N  tmsub=N  osccal=N           the test module's firmware number, front end or board,
//                                       and its PIC's factory OSCCAL word (decimal or 0x…)
//   tmident=N  tmtype=N                 the identification of the device on the module's line
//   tmfault=mute|drop|corrupt|delay:MS  a failure of the test module: it hangs, loses one
//                                       answer (the command done), garbles one answer, or
//                                       answers every frame MS late
//   tmafter=N                           ... striking at the module's Nth frame (default 1)
//   state=DIR                           keep the non-volatile memories (sensor flash and EEPROM,
//                                       module flash, PIC) in files in DIR from run to run
//   virtual                             run the bench on a virtual clock (vmxctl)
// Sensor words apply to every converter of the profile.

#include "sim/Bench.h"

#include <QString>

#include <vector>

namespace vmx::sim {

ConverterSpec MakeConverter(ConverterKind kind, int number = 1);

// False with `error` set for an unknown word or value.
bool ParseProfile(const QString& profile, std::vector<ConverterSpec>& out, QString& error);
// The profile asks for the virtual clock.
bool IsVirtualProfile(const QString& profile);
// Applies one sensor word ("key=…", "stream=…", …) to a profile; false when it is none.
bool ApplySensorWord(const QString& word, SensorProfile& sensor, QString& error);

} // namespace vmx::sim
