// quillon-peer-slave: a libmodbus RTU slave that answers several unit ids on one serial device.
//
//   quillon-peer-slave DEVICE [--baud B] [--units 1,2] [--delay-ms D] [--verbose]
//
// Every unit u has 100 holding registers (register a holds u * 100 + a), 100 input registers
// (10000 + u * 100 + a), 64 coils (on when (a + u) % 3 == 0) and 64 discrete inputs (the
// opposite). libmodbus builds and sends every answer, exceptions included (an address beyond
// the maps gets exception 2). Requests to other units are heard and left unanswered.
//
// libmodbus' own receive drops requests for any unit but the context's one, so this slave cuts
// the master's requests itself (by the request length of each function code and the CRC), sets
// the context's unit and hands the request to modbus_reply. On a multi-drop line it hears only
// the master: nobody hears their own bytes, and it is the only slave.
//
// Prints "peer_slave: ready" once the port is open; SIGINT or SIGTERM end it.

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <modbus/modbus.h>
#include <optional>
#include <poll.h>
#include <string>
#include <string_view>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kRegisters = 100;
constexpr int kBits = 64;
// A request that stops arriving for this long is dropped, so that a broken one cannot hold
// back the next.
constexpr int kRequestGapMs = 50;

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int)
{
    g_stop = 1;
}

[[nodiscard]] std::uint16_t Crc16(const std::uint8_t* data, std::size_t length)
{
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) != 0 ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001)
                                 : static_cast<std::uint16_t>(crc >> 1);
    }
    return crc;
}

// The length of a request whose first bytes are in `request`: nullopt while it cannot be told
// yet, 0 for a function code this slave does not know.
[[nodiscard]] std::optional<std::size_t> RequestLength(const std::vector<std::uint8_t>& request)
{
    if (request.size() < 2)
        return std::nullopt;
    switch (request[1]) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
        return 8;
    case 15:
    case 16:
        if (request.size() < 7)
            return std::nullopt;
        return 9 + std::size_t{request[6]};
    case 17:
        return 4;
    case 22:
        return 10;
    case 23:
        if (request.size() < 11)
            return std::nullopt;
        return 13 + std::size_t{request[10]};
    default:
        return 0;
    }
}

[[nodiscard]] modbus_mapping_t* UnitMaps(int unit)
{
    modbus_mapping_t* maps = modbus_mapping_new(kBits, kBits, kRegisters, kRegisters);
    if (maps == nullptr)
        return nullptr;
    for (int a = 0; a < kBits; ++a) {
        const bool on = (a + unit) % 3 == 0;
        maps->tab_bits[a] = on ? 1 : 0;
        maps->tab_input_bits[a] = on ? 0 : 1;
    }
    for (int a = 0; a < kRegisters; ++a) {
        maps->tab_registers[a] = static_cast<std::uint16_t>(unit * 100 + a);
        maps->tab_input_registers[a] = static_cast<std::uint16_t>(10000 + unit * 100 + a);
    }
    return maps;
}

[[nodiscard]] std::optional<std::vector<int>> ParseUnits(std::string_view text)
{
    std::vector<int> units;
    while (!text.empty()) {
        const auto comma = text.find(',');
        const std::string part(text.substr(0, comma));
        char* end = nullptr;
        const long unit = std::strtol(part.c_str(), &end, 10);
        if (part.empty() || *end != '\0' || unit < 1 || unit > 247)
            return std::nullopt;
        units.push_back(static_cast<int>(unit));
        text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
    }
    if (units.empty())
        return std::nullopt;
    return units;
}

int Usage()
{
    std::fprintf(stderr, "usage: quillon-peer-slave DEVICE [--baud B] [--units 1,2] "
                         "[--delay-ms D] [--verbose]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return Usage();
    const char* device = argv[1];
    int baud = 38400;
    int delayMs = 0;
    bool verbose = false;
    std::vector<int> units{1, 2};
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--baud" && hasValue) {
            baud = std::atoi(argv[++i]);
        } else if (arg == "--delay-ms" && hasValue) {
            delayMs = std::atoi(argv[++i]);
        } else if (arg == "--units" && hasValue) {
            const auto parsed = ParseUnits(argv[++i]);
            if (!parsed)
                return Usage();
            units = *parsed;
        } else if (arg == "--verbose") {
            verbose = true;
        } else {
            return Usage();
        }
    }
    if (baud <= 0 || delayMs < 0)
        return Usage();

    std::map<int, modbus_mapping_t*> maps;
    for (const int unit : units) {
        maps[unit] = UnitMaps(unit);
        if (maps[unit] == nullptr) {
            std::fprintf(stderr, "peer_slave: no memory for the maps\n");
            return 1;
        }
    }
    modbus_t* ctx = modbus_new_rtu(device, baud, 'N', 8, 1);
    if (ctx == nullptr || modbus_connect(ctx) != 0) {
        std::fprintf(stderr, "peer_slave: cannot open %s: %s\n", device, modbus_strerror(errno));
        return 1;
    }
    modbus_set_debug(ctx, verbose ? TRUE : FALSE);
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    const int fd = modbus_get_socket(ctx);
    std::printf("peer_slave: ready on %s\n", device);
    std::fflush(stdout);

    std::vector<std::uint8_t> request;
    int answered = 0;
    int ignored = 0;
    while (g_stop == 0) {
        pollfd watch{fd, POLLIN, 0};
        const int ready = poll(&watch, 1, request.empty() ? 200 : kRequestGapMs);
        if (ready < 0 && errno != EINTR)
            break;
        if (ready <= 0) {
            request.clear(); // quiet line: whatever was started is dropped
            continue;
        }
        std::uint8_t chunk[256];
        const ssize_t got = read(fd, chunk, sizeof chunk);
        if (got <= 0)
            break;
        request.insert(request.end(), chunk, chunk + got);

        // Cut every complete request; a byte that starts nothing valid is dropped.
        for (;;) {
            const auto length = RequestLength(request);
            if (!length || request.size() < *length)
                break;
            const std::size_t n = *length;
            const bool valid =
                n >= 4 && Crc16(request.data(), n - 2) ==
                              static_cast<std::uint16_t>(request[n - 2] | (request[n - 1] << 8));
            if (!valid) {
                request.erase(request.begin());
                continue;
            }
            const int unit = request[0];
            const auto served = maps.find(unit);
            if (served == maps.end()) {
                ++ignored;
            } else {
                if (delayMs > 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
                modbus_set_slave(ctx, unit);
                if (modbus_reply(ctx, request.data(), static_cast<int>(n), served->second) < 0)
                    std::fprintf(stderr, "peer_slave: reply failed: %s\n", modbus_strerror(errno));
                ++answered;
            }
            request.erase(request.begin(), request.begin() + static_cast<std::ptrdiff_t>(n));
        }
    }
    std::printf("peer_slave: %d answered, %d ignored\n", answered, ignored);
    modbus_close(ctx);
    modbus_free(ctx);
    for (auto& [unit, map] : maps)
        modbus_mapping_free(map);
    return 0;
}
