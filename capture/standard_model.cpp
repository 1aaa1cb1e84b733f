#include "capture/standard_model.h"

#include <algorithm>
#include <optional>

#include "capture/cmodbus.h"
#include "capture/function_names.h"

namespace quillon {

namespace {

// The shortest RTU frame: address, function code, CRC.
constexpr std::size_t kFrameMin = 4;
// An exception response: address, function code with bit 7 set, exception code, CRC.
constexpr std::size_t kExceptionLength = 5;
// Encapsulated interface transport: the MEI type of Read Device Identification.
constexpr std::uint8_t kReadDeviceId = 14;

enum class Form : std::uint8_t
{
    Query,
    Response,
    Either, // a query form and a response form of the same length
};

// One form the function byte allows; no length while a byte it is counted from has not arrived.
struct Shape
{
    std::optional<std::size_t> length;
    Form form = Form::Query;
};

// The forms of the front frame (at most four, for code 43).
class Shapes
{
public:
    void Add(std::optional<std::size_t> length, Form form)
    {
        if (length) {
            for (std::size_t i = 0; i < m_count; ++i) {
                if (m_items[i].length == length) {
                    if (m_items[i].form != form)
                        m_items[i].form = Form::Either;
                    return;
                }
            }
        }
        if (m_count < m_items.size())
            m_items[m_count++] = Shape{length, form};
    }
    [[nodiscard]] std::span<const Shape> Items() const { return {m_items.data(), m_count}; }

private:
    std::array<Shape, 4> m_items{};
    std::size_t m_count = 0;
};

// base + the count byte at `position`, once that byte has arrived.
std::optional<std::size_t>
Counted(std::span<const std::uint8_t> d, std::size_t base, std::size_t position)
{
    if (position >= d.size())
        return std::nullopt;
    return base + d[position];
}

// A Read Device Identification response: eight header bytes (the object count at byte 7),
// then per object its id, its length and its value, then the CRC. A length past the longest
// frame is given as soon as it is certain, so that no decision waits for such a frame.
std::optional<std::size_t> DeviceIdResponseLength(std::span<const std::uint8_t> d)
{
    constexpr std::size_t kHeader = 8;
    if (d.size() <= kHeader - 1)
        return std::nullopt;
    std::size_t offset = kHeader;
    for (unsigned object = 0; object < d[kHeader - 1]; ++object) {
        if (offset + 4 > kRtuFrameMax) // this object's id and length, and the CRC, do not fit
            return kRtuFrameMax + 1;
        if (offset + 1 >= d.size())
            return std::nullopt;
        offset += 2 + d[offset + 1];
    }
    return offset + 2;
}

// The forms that the function byte d[1] allows (at least two bytes given).
Shapes ShapesOf(std::span<const std::uint8_t> d)
{
    Shapes shapes;
    const std::uint8_t function = d[1];
    if ((function & 0x80U) != 0) {
        shapes.Add(kExceptionLength, Form::Response);
        return shapes;
    }
    switch (function) {
    case 1:
    case 2:
    case 3:
    case 4:
        shapes.Add(8, Form::Query);
        shapes.Add(Counted(d, 5, 2), Form::Response);
        break;
    case 5:
    case 6:
    case 8:
        shapes.Add(8, Form::Either);
        break;
    case 7:
        shapes.Add(4, Form::Query);
        shapes.Add(5, Form::Response);
        break;
    case 11:
        shapes.Add(4, Form::Query);
        shapes.Add(8, Form::Response);
        break;
    case 12:
    case 17:
        shapes.Add(4, Form::Query);
        shapes.Add(Counted(d, 5, 2), Form::Response);
        break;
    case 15:
    case 16:
    case 42:
    case 65:
    case 103:
        shapes.Add(Counted(d, 9, 6), Form::Query);
        shapes.Add(8, Form::Response);
        break;
    case 20:
    case 21:
        shapes.Add(Counted(d, 5, 2), Form::Either);
        break;
    case 22:
        shapes.Add(10, Form::Either);
        break;
    case 23:
        shapes.Add(Counted(d, 13, 10), Form::Query);
        shapes.Add(Counted(d, 5, 2), Form::Response);
        break;
    case 24: // the FIFO response counts its bytes in two bytes, high byte first
        shapes.Add(6, Form::Query);
        shapes.Add(d.size() > 3 ? std::optional<std::size_t>(6 + 256U * d[2] + d[3]) : std::nullopt,
                   Form::Response);
        break;
    case 43:
        shapes.Add(8, Form::Query);
        shapes.Add(Counted(d, 9, 6), Form::Response);
        if (d.size() > 2 && d[2] == kReadDeviceId) {
            shapes.Add(7, Form::Query);
            shapes.Add(DeviceIdResponseLength(d), Form::Response);
        }
        break;
    case 31:
    case 35:
    case 41:
    case 66:
    case 68:
    case 102:
    case 104:
        shapes.Add(8, Form::Query);
        shapes.Add(Counted(d, 9, 6), Form::Response);
        break;
    default:
        break;
    }
    return shapes;
}

struct Holding
{
    std::size_t length = 0;
    Form form = Form::Query;
};

// What the bytes from some offset on could be: the forms that hold there (their CRC is
// correct) and whether a form could still complete with more bytes.
struct Survey
{
    std::array<Holding, 4> holding{};
    std::size_t holdingCount = 0;
    bool pending = false; // never in an idle pass
};

Survey SurveyFront(std::span<const std::uint8_t> d, bool idle)
{
    Survey survey;
    if (d.size() < 2) {
        // The function byte has not arrived: any frame could still begin here.
        survey.pending = !idle;
        return survey;
    }
    const Shapes shapes = ShapesOf(d);
    for (const Shape& shape : shapes.Items()) {
        if (!shape.length) {
            survey.pending = survey.pending || !idle;
            continue;
        }
        const std::size_t n = *shape.length;
        if (n < kFrameMin || n > kRtuFrameMax)
            continue;
        if (n > d.size()) {
            survey.pending = survey.pending || !idle;
            continue;
        }
        if (CrcCorrect(d.first(n)))
            survey.holding[survey.holdingCount++] = Holding{n, shape.form};
    }
    return survey;
}

// How well a holding form of length n is followed: 2 by a frame that holds (or by the end of
// the bytes in an idle pass), 1 when what follows could still become a frame, else 0.
int Score(std::span<const std::uint8_t> d, std::size_t n, bool idle)
{
    if (n == d.size())
        return idle ? 2 : 1;
    const Survey behind = SurveyFront(d.subspan(n), idle);
    if (behind.holdingCount > 0)
        return 2;
    return behind.pending ? 1 : 0;
}

FrameDecision Damaged(std::size_t length)
{
    return FrameDecision{length, true, true};
}

// The standard model names every public function code: those the device table names but does
// not recognise keep its name, the rest are the standard's own.
constexpr std::array<FunctionName, 19> kPublicCodes{{
    {1, ""},
    {2, ""},
    {3, ""},
    {4, ""},
    {5, ""},
    {6, ""},
    {7, ""},
    {8, ""},
    {11, "Fetch Comm Event Ctr"},
    {12, "Fetch Comm Event Log"},
    {15, ""},
    {16, ""},
    {17, ""},
    {20, "Read File Record"},
    {21, "Write File Record"},
    {22, "Mask Write Register"},
    {23, "Read/Write Registers"},
    {24, "Read FIFO Queue"},
    {43, "Encapsulated Interface"},
}};

const FunctionNames kStandardNames = DeviceFunctionNames().With(kPublicCodes);

} // namespace

FrameDecision StandardFrameModel::Decide(std::span<const std::uint8_t> bytes, bool idle)
{
    const std::size_t a = bytes.size();
    if (a == 0 || (a < kFrameMin && !idle))
        return {};
    // With a frame's worth of bytes there, no frame can still be growing: every wait ends here.
    const bool full = a >= kRtuFrameMax;
    const Survey front = SurveyFront(bytes, idle);
    const auto taken = [&](const Holding& h) {
        bool query = h.form == Form::Query;
        if (h.form == Form::Either)
            query = !Answers(bytes.first(h.length));
        return FrameDecision{h.length, query, false};
    };
    const std::span<const Holding> holding(front.holding.data(), front.holdingCount);

    // A frame that could still be longer: only a holding form that a holding frame already
    // follows is taken before it has settled.
    if (front.pending && !full) {
        const Holding* best = nullptr;
        for (const Holding& h : holding) {
            if (h.length < a && SurveyFront(bytes.subspan(h.length), idle).holdingCount > 0 &&
                (best == nullptr || h.length > best->length))
                best = &h;
        }
        return best != nullptr ? taken(*best) : FrameDecision{};
    }

    if (holding.size() == 1)
        return taken(holding.front());

    if (holding.size() > 1) {
        const Holding* best = nullptr;
        int bestScore = -1;
        bool unsettled = false;
        for (const Holding& h : holding) {
            const int score = Score(bytes, h.length, idle);
            unsettled = unsettled || score == 1;
            if (score > bestScore || (score == bestScore && h.length > best->length)) {
                best = &h;
                bestScore = score;
            }
        }
        if (unsettled && !idle && !full)
            return {};
        return taken(*best);
    }

    // Nothing holds at the front: the bytes up to the next place where a frame holds are damage.
    for (std::size_t k = 1; k + kFrameMin <= a; ++k) {
        if (SurveyFront(bytes.subspan(k), idle).holdingCount > 0)
            return Damaged(k);
    }
    if (!idle && !full)
        return {};
    if (a >= kExceptionLength && (bytes[1] & 0x80U) != 0)
        return Damaged(kExceptionLength);
    if (idle)
        return Damaged(a);
    // A full buffer of damage: cut up to where a frame could still begin (at the latest the
    // last byte, whose function byte has not arrived).
    for (std::size_t k = 1; k < a; ++k) {
        if (SurveyFront(bytes.subspan(k), false).pending)
            return Damaged(k);
    }
    return Damaged(a);
}

bool StandardFrameModel::QueryWhenWhole(std::span<const std::uint8_t> bytes) const
{
    if (bytes.size() < 2)
        return true;
    const Shapes shapes = ShapesOf(bytes);
    for (const Shape& shape : shapes.Items()) {
        if (shape.length != bytes.size())
            continue;
        if (shape.form == Form::Either)
            return !Answers(bytes);
        return shape.form == Form::Query;
    }
    return true;
}

void StandardFrameModel::FrameCut(std::span<const std::uint8_t> frame, const FrameInfo& info)
{
    if (info.damaged)
        return;
    if (!info.query) {
        m_queryLength = 0;
        return;
    }
    // A broadcast gets no response, so it never waits for one.
    if (frame.size() < 2 || frame[0] == 0)
        return;
    m_queryLength = std::min(frame.size(), m_query.size());
    std::copy_n(frame.begin(), m_queryLength, m_query.begin());
}

bool StandardFrameModel::Answers(std::span<const std::uint8_t> frame) const
{
    if (m_queryLength < 2 || frame.size() < 2 || frame[0] != m_query[0] || frame[1] != m_query[1])
        return false;
    // Single writes answer with an echo of the query.
    const std::uint8_t code = frame[1];
    if (code == 5 || code == 6 || code == 22)
        return std::ranges::equal(frame, std::span(m_query).first(m_queryLength));
    return true;
}

bool StandardFrameModel::Recognises(std::uint8_t code) const
{
    return kStandardNames.Recognises(code);
}

std::string_view StandardFrameModel::Name(std::uint8_t code) const
{
    return kStandardNames.Name(code);
}

bool StandardFrameModel::ShowsRegisters(std::uint8_t code) const
{
    return (code >= 1 && code <= 4) || code == 15 || code == 16;
}

} // namespace quillon
