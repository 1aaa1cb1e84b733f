#include "portsetup/port_probe.h"

#include <algorithm>
#include <cctype>
#include <cstddef>

#include "seams/port_settings.h"

namespace quillon {

namespace {

bool IsDigit(char c)
{
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

char Lower(char c)
{
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool Storable(const std::string& name)
{
    return !name.empty() && name.size() <= kSettingTextMax;
}

template <std::size_t N>
ComboChoice FixedCombo(const std::array<std::string_view, N>& items, std::string_view text)
{
    ComboChoice combo;
    combo.items.assign(items.begin(), items.end());
    combo.selection = SelectString(combo.items, text);
    return combo;
}

} // namespace

bool NaturalLess(std::string_view a, std::string_view b)
{
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            std::size_t aEnd = i;
            std::size_t bEnd = j;
            while (aEnd < a.size() && IsDigit(a[aEnd]))
                ++aEnd;
            while (bEnd < b.size() && IsDigit(b[bEnd]))
                ++bEnd;
            // Compare the runs by value: without leading zeros, the longer run is larger.
            std::string_view aRun = a.substr(i, aEnd - i);
            std::string_view bRun = b.substr(j, bEnd - j);
            const auto stripZeros = [](std::string_view run) {
                const std::size_t first = run.find_first_not_of('0');
                return first == std::string_view::npos ? std::string_view{} : run.substr(first);
            };
            const std::string_view aValue = stripZeros(aRun);
            const std::string_view bValue = stripZeros(bRun);
            if (aValue.size() != bValue.size())
                return aValue.size() < bValue.size();
            if (aValue != bValue)
                return aValue < bValue;
            if (aRun.size() != bRun.size())
                return aRun.size() < bRun.size();
            i = aEnd;
            j = bEnd;
            continue;
        }
        if (a[i] != b[j])
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

std::vector<std::string> CandidatePortNames(std::span<const std::string> reported,
                                            const std::string& storedPort)
{
    std::vector<std::string> names;
    for (const std::string& name : reported) {
        if (Storable(name))
            names.push_back(name);
    }
    if (Storable(storedPort))
        names.push_back(storedPort);
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return NaturalLess(a, b); });
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

std::vector<std::string> ProbePorts(SerialDeviceLayer& devices,
                                    std::span<const std::string> candidates)
{
    std::vector<std::string> present;
    for (const std::string& name : candidates) {
        // The device is closed again as soon as it opened.
        if (devices.OpenExclusive(name))
            present.push_back(name);
    }
    return present;
}

int SelectString(std::span<const std::string> items, std::string_view text)
{
    if (text.empty())
        return -1;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const std::string& item = items[i];
        if (item.size() < text.size())
            continue;
        if (std::equal(text.begin(), text.end(), item.begin(),
                       [](char a, char b) { return Lower(a) == Lower(b); }))
            return static_cast<int>(i);
    }
    return -1;
}

std::string SavedText(const ComboChoice& combo)
{
    if (combo.selection < 0 || static_cast<std::size_t>(combo.selection) >= combo.items.size())
        return {};
    return combo.items[static_cast<std::size_t>(combo.selection)];
}

PortSetupChoices PreparePortSetup(const PortSetupTexts& texts,
                                  std::span<const std::string> presentPorts)
{
    PortSetupChoices choices;
    choices.baud = FixedCombo(kBaudItems, texts.baud);
    choices.parity = FixedCombo(kParityItems, texts.parityWord);
    choices.stopBits = FixedCombo(kStopBitsItems, texts.stopBits);

    choices.port.items.assign(presentPorts.begin(), presentPorts.end());
    if (!choices.port.items.empty()) {
        const auto stored =
            std::find(choices.port.items.begin(), choices.port.items.end(), texts.port);
        choices.port.selection = stored == choices.port.items.end()
                                     ? 0
                                     : static_cast<int>(stored - choices.port.items.begin());
    }
    return choices;
}

PortSetupTexts SavePortSetup(const PortSetupChoices& choices)
{
    return PortSetupTexts{SavedText(choices.port), SavedText(choices.baud),
                          SavedText(choices.parity), SavedText(choices.stopBits)};
}

} // namespace quillon
