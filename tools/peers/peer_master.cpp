// quillon-peer-master: a libmodbus RTU master that polls a fixed programme of requests.
//
//   quillon-peer-master DEVICE [--baud B] [--profile shaped|all] [--units 1,2] [--silent U]
//                       [--rounds N] [--gap-ms G] [--timeout-ms T] [--silent-timeout-ms S]
//
// Every round scans the request kinds of its profile, each sent to every unit in turn (unit 1,
// then unit 2, ...), then requests that the slaves answer with an exception (addresses beyond
// their maps) and requests to a unit that never answers. "shaped" polls codes 16, 3, 4, 1 and
// 17; "all" adds 2, 5, 6, 15, 22 and 23. --gap-ms pauses between transactions (0: back to
// back, the next request leaves as soon as the answer is in).
//
// libmodbus' debug output goes to standard output: every frame sent as "[01][03]...", every
// frame received as "<01><03>...", each on a line of its own; each transaction is announced by
// a line "# unit U fc F". The last line counts the outcomes; the exit status is 0 when every
// transaction ended as expected (an answer, the exception, or silence).

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <modbus/modbus.h>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

enum class Outcome
{
    Answer,
    Exception,
    Silence,
    Other
};

struct Request
{
    int code;
    // Sends the request through ctx; `round` varies the written values.
    std::function<int(modbus_t*, int round)> send;
};

std::vector<Request> ReadAndWriteKinds(bool all)
{
    std::vector<Request> kinds;
    const auto add = [&](int code, std::function<int(modbus_t*, int)> send) {
        kinds.push_back({code, std::move(send)});
    };
    static std::uint8_t bits[64];
    static std::uint16_t registers[128];
    add(16, [](modbus_t* ctx, int round) {
        const std::uint16_t values[3] = {static_cast<std::uint16_t>(round * 3),
                                         static_cast<std::uint16_t>(round * 3 + 1),
                                         static_cast<std::uint16_t>(round * 3 + 2)};
        return modbus_write_registers(ctx, 50, 3, values);
    });
    add(3, [](modbus_t* ctx, int round) {
        return modbus_read_registers(ctx, round % 90, 5, registers);
    });
    add(4, [](modbus_t* ctx, int round) {
        return modbus_read_input_registers(ctx, round % 90, 4, registers);
    });
    add(1, [](modbus_t* ctx, int) { return modbus_read_bits(ctx, 0, 10, bits); });
    add(17, [](modbus_t* ctx, int) {
        std::uint8_t id[64];
        return modbus_report_slave_id(ctx, sizeof id, id);
    });
    if (!all)
        return kinds;
    add(2,
        [](modbus_t* ctx, int round) { return modbus_read_input_bits(ctx, round % 8, 19, bits); });
    add(5,
        [](modbus_t* ctx, int round) { return modbus_write_bit(ctx, 3 + round % 8, round % 2); });
    add(6, [](modbus_t* ctx, int round) { return modbus_write_register(ctx, 10, round * 7); });
    add(15, [](modbus_t* ctx, int round) {
        std::uint8_t values[12];
        for (int i = 0; i < 12; ++i)
            values[i] = static_cast<std::uint8_t>((i + round) % 2);
        return modbus_write_bits(ctx, 20, 12, values);
    });
    add(22, [](modbus_t* ctx, int round) {
        return modbus_mask_write_register(ctx, 11, static_cast<std::uint16_t>(0xF0F0 + round),
                                          0x0025);
    });
    add(23, [](modbus_t* ctx, int round) {
        const std::uint16_t values[2] = {static_cast<std::uint16_t>(round), 0x1234};
        return modbus_write_and_read_registers(ctx, 30, 2, values, 28, 6, registers);
    });
    return kinds;
}

// Requests beyond the slaves' maps (100 registers, 64 bits): each is answered with exception 2.
std::vector<Request> ExceptionKinds(bool all)
{
    std::vector<Request> kinds;
    static std::uint8_t bits[64];
    static std::uint16_t registers[128];
    kinds.push_back(
        {3, [](modbus_t* ctx, int) { return modbus_read_registers(ctx, 98, 5, registers); }});
    kinds.push_back(
        {4, [](modbus_t* ctx, int) { return modbus_read_input_registers(ctx, 99, 3, registers); }});
    kinds.push_back({1, [](modbus_t* ctx, int) { return modbus_read_bits(ctx, 200, 8, bits); }});
    kinds.push_back({16, [](modbus_t* ctx, int) {
                         const std::uint16_t values[3] = {1, 2, 3};
                         return modbus_write_registers(ctx, 99, 3, values);
                     }});
    if (!all)
        return kinds;
    kinds.push_back(
        {2, [](modbus_t* ctx, int) { return modbus_read_input_bits(ctx, 60, 8, bits); }});
    kinds.push_back({5, [](modbus_t* ctx, int) { return modbus_write_bit(ctx, 64, 1); }});
    kinds.push_back({6, [](modbus_t* ctx, int) { return modbus_write_register(ctx, 100, 7); }});
    kinds.push_back({15, [](modbus_t* ctx, int) {
                         const std::uint8_t values[8] = {1, 0, 1, 0, 1, 0, 1, 0};
                         return modbus_write_bits(ctx, 60, 8, values);
                     }});
    kinds.push_back(
        {22, [](modbus_t* ctx, int) { return modbus_mask_write_register(ctx, 100, 0xFFFF, 0); }});
    kinds.push_back({23, [](modbus_t* ctx, int) {
                         const std::uint16_t values[1] = {5};
                         return modbus_write_and_read_registers(ctx, 0, 1, values, 98, 4,
                                                                registers);
                     }});
    return kinds;
}

struct Tally
{
    int transactions = 0;
    int answers = 0;
    int exceptions = 0;
    int silences = 0;
    int unexpected = 0;
};

void SetTimeout(modbus_t* ctx, int ms)
{
    modbus_set_response_timeout(ctx, static_cast<std::uint32_t>(ms / 1000),
                                static_cast<std::uint32_t>(ms % 1000) * 1000);
}

void Transact(
    modbus_t* ctx, int unit, const Request& request, int round, Outcome expected, Tally& tally)
{
    std::printf("# unit %d fc %d\n", unit, request.code);
    std::fflush(stdout);
    modbus_set_slave(ctx, unit);
    errno = 0;
    const int rc = request.send(ctx, round);
    const int error = errno;
    Outcome outcome = Outcome::Other;
    if (rc >= 0)
        outcome = Outcome::Answer;
    else if (error == ETIMEDOUT)
        outcome = Outcome::Silence;
    else if (error == EMBXILADD)
        outcome = Outcome::Exception;
    ++tally.transactions;
    tally.answers += outcome == Outcome::Answer ? 1 : 0;
    tally.exceptions += outcome == Outcome::Exception ? 1 : 0;
    tally.silences += outcome == Outcome::Silence ? 1 : 0;
    if (outcome != expected) {
        ++tally.unexpected;
        std::printf("# unexpected: unit %d fc %d: %s\n", unit, request.code,
                    rc < 0 ? modbus_strerror(error) : "an answer");
    }
    std::fflush(stdout);
}

int Usage()
{
    std::fprintf(stderr, "usage: quillon-peer-master DEVICE [--baud B] [--profile shaped|all] "
                         "[--units 1,2] [--silent U] [--rounds N] [--gap-ms G] [--timeout-ms T] "
                         "[--silent-timeout-ms S]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return Usage();
    const char* device = argv[1];
    int baud = 38400;
    bool all = false;
    std::vector<int> units{1, 2};
    int silent = 9;
    int rounds = 3;
    int gapMs = 0;
    int timeoutMs = 1000;
    int silentTimeoutMs = 150;
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (i + 1 >= argc)
            return Usage();
        const std::string value = argv[++i];
        if (arg == "--baud") {
            baud = std::atoi(value.c_str());
        } else if (arg == "--profile" && (value == "shaped" || value == "all")) {
            all = value == "all";
        } else if (arg == "--units") {
            units.clear();
            for (std::size_t at = 0; at < value.size();) {
                const auto comma = value.find(',', at);
                units.push_back(std::atoi(value.substr(at, comma - at).c_str()));
                at = comma == std::string::npos ? value.size() : comma + 1;
            }
        } else if (arg == "--silent") {
            silent = std::atoi(value.c_str());
        } else if (arg == "--rounds") {
            rounds = std::atoi(value.c_str());
        } else if (arg == "--gap-ms") {
            gapMs = std::atoi(value.c_str());
        } else if (arg == "--timeout-ms") {
            timeoutMs = std::atoi(value.c_str());
        } else if (arg == "--silent-timeout-ms") {
            silentTimeoutMs = std::atoi(value.c_str());
        } else {
            return Usage();
        }
    }
    if (baud <= 0 || units.empty() || rounds < 1 || gapMs < 0 || timeoutMs < 1 ||
        silentTimeoutMs < 1)
        return Usage();

    modbus_t* ctx = modbus_new_rtu(device, baud, 'N', 8, 1);
    if (ctx == nullptr || modbus_connect(ctx) != 0) {
        std::fprintf(stderr, "peer_master: cannot open %s: %s\n", device, modbus_strerror(errno));
        return 1;
    }
    modbus_set_debug(ctx, TRUE);
    // The line notices a newly opened peer within 10 ms; bytes written before then are lost.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));

    const auto kinds = ReadAndWriteKinds(all);
    const auto exceptions = ExceptionKinds(all);
    Tally tally;
    bool first = true;
    const auto pause = [&] {
        if (!first && gapMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(gapMs));
        first = false;
    };
    for (int round = 0; round < rounds; ++round) {
        SetTimeout(ctx, timeoutMs);
        for (const auto& kind : kinds) {
            for (const int unit : units) {
                pause();
                Transact(ctx, unit, kind, round, Outcome::Answer, tally);
            }
        }
        for (std::size_t i = 0; i < exceptions.size(); ++i) {
            pause();
            Transact(ctx, units[i % units.size()], exceptions[i], round, Outcome::Exception, tally);
        }
        SetTimeout(ctx, silentTimeoutMs);
        pause();
        Transact(ctx, silent, kinds[1], round, Outcome::Silence, tally); // a read
        pause();
        Transact(ctx, silent, kinds[0], round, Outcome::Silence, tally); // a write
    }
    std::printf("# peer_master: %d transactions, %d answered, %d exceptions, %d silent, "
                "%d unexpected\n",
                tally.transactions, tally.answers, tally.exceptions, tally.silences,
                tally.unexpected);
    modbus_close(ctx);
    modbus_free(ctx);
    return tally.unexpected == 0 ? 0 : 1;
}
