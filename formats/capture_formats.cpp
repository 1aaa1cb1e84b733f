#include "formats/capture_formats.h"

#include <array>

namespace quillon {

namespace {

const std::array<CaptureFormat, 2> kFormats{{
    {ExportFormat::Pcap, "--pcap", "Wireshark capture", "pcap", MakePcapFormatter},
    {ExportFormat::Csv, "--csv", "CSV", "csv", MakeCsvFormatter},
}};

} // namespace

std::span<const CaptureFormat> CaptureFormats()
{
    return kFormats;
}

const CaptureFormat& CaptureFormatOf(ExportFormat id)
{
    for (const CaptureFormat& format : kFormats) {
        if (format.id == id)
            return format;
    }
    return kFormats.front();
}

} // namespace quillon
