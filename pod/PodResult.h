#pragma once

#include <cstdint>

// Result codes of the pod driver. They stay the 16-bit values the form and the command line
// turn into texts, so each value has a name here and nowhere else.

// Open: 0 open, 1 the port could not be opened or configured, 2 the pod does not answer.
using PodOpenResult = std::uint16_t;
inline constexpr PodOpenResult kPodOpenOk = 0;
inline constexpr PodOpenResult kPodOpenPortFailure = 1;
inline constexpr PodOpenResult kPodOpenNoAnswer = 2;

// One streamed block: 0 done, 16 sending or programming failed, 17 the block does not
// compare equal (VerifyBlock reports every failure as 17).
using BlockResult = std::uint16_t;
inline constexpr BlockResult kBlockOk = 0;
inline constexpr BlockResult kBlockWriteFailed = 0x10;
inline constexpr BlockResult kBlockVerifyFailed = 0x11;

// A whole sequence; 0 is success for every sequence, the other values depend on it.
using PodResult = std::uint16_t;
inline constexpr PodResult kPodOk = 0;

// ProgramTarget, ProgramAndVerifyTarget, VerifyTarget and the region operations. Region codes
// are base 3 (PFLASH), 6 (P2FLASH), 9 (BFLASH), 12 (DFLASH) plus 0 erase, 1 write, 2 verify.
inline constexpr PodResult kTargetDebugModeError = 1;
inline constexpr PodResult kTargetFirmwareDownloadError = 2;
inline constexpr PodResult kTargetPflashEraseError = 3;
inline constexpr PodResult kTargetPflashWriteError = 4;
inline constexpr PodResult kTargetPflashVerifyError = 5;
inline constexpr PodResult kTargetP2flashEraseError = 6;
inline constexpr PodResult kTargetP2flashWriteError = 7;
inline constexpr PodResult kTargetP2flashVerifyError = 8;
inline constexpr PodResult kTargetBflashEraseError = 9;
inline constexpr PodResult kTargetBflashWriteError = 10;
inline constexpr PodResult kTargetBflashVerifyError = 11;
inline constexpr PodResult kTargetDflashEraseError = 12;
inline constexpr PodResult kTargetDflashWriteError = 13;
inline constexpr PodResult kTargetDflashVerifyError = 14;

// WritePodEeprom (odd region codes) and VerifyPodEeprom (even region codes, 10 to 12).
inline constexpr PodResult kEepromPflashWriteError = 1;
inline constexpr PodResult kEepromPflashVerifyError = 2;
inline constexpr PodResult kEepromP2flashWriteError = 3;
inline constexpr PodResult kEepromP2flashVerifyError = 4;
inline constexpr PodResult kEepromBflashWriteError = 5;
inline constexpr PodResult kEepromBflashVerifyError = 6;
inline constexpr PodResult kEepromDflashWriteError = 7;
inline constexpr PodResult kEepromDflashVerifyError = 8;
inline constexpr PodResult kEepromWriteError = 9;     // K not sent, or Z not acknowledged
inline constexpr PodResult kEepromVerifyError = 10;   // K or the closing L not sent
inline constexpr PodResult kEepromInfoError = 11;     // no info record, or no image stored
inline constexpr PodResult kEepromInfoMismatch = 12;  // the record differs from the image
