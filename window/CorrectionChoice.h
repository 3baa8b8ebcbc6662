#pragma once
// The files the details window takes: a microphone's and a sound card's
// correction file, remembered per input device by its name, and reference
// curves (text files of the correction form). What is wrong with a file is
// said in Japanese.
#include <QString>

#include "measurement/CorrectionFile.h"

namespace window_files {

enum class CorrectionKind { Mic, Device };

// The setting that remembers kind's file for the input device called
// device (any text: it is encoded so that no name can reach another key).
QString CorrectionSettingKey(CorrectionKind kind, const QString& device);
// The same for a sensitivity typed in or measured for the input device.
QString SensitivitySettingKey(const QString& device);

// True for the extensions a reference curve comes in: .frd, .txt, .cal
// and .csv, in any case.
bool IsReferenceFileName(const QString& path);

// Why a file could not be taken, for a message: the fault and, where one
// line is at fault, its number.
QString CorrectionFaultText(const measurement::CorrectionRead& read);

// The file dialog's filter for correction and reference files.
QString CorrectionFileFilter();

}  // namespace window_files
