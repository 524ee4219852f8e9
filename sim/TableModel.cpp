#include "sim/TableModel.h"

#include "protocol/Colour.h"
#include "protocol/CommandSet.h"
#include "protocol/TableVocabulary.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace glowdeck::sim {

namespace {
Colour colourAt(const std::uint8_t* p) {
    return makeColour(p[0], p[1], p[2]);
}

std::string colourText(Colour c) {
    return std::to_string(redOf(c)) + "," + std::to_string(greenOf(c)) + "," +
           std::to_string(blueOf(c));
}

std::string hexBytes(const std::vector<std::uint8_t>& bytes, std::size_t shown) {
    std::string out;
    char item[8];
    for (std::size_t i = 0; i < bytes.size() && i < shown; ++i) {
        std::snprintf(item, sizeof item, "%s0x%02X", i ? " " : "", bytes[i]);
        out += item;
    }
    if (bytes.size() > shown)
        out += " ... (" + std::to_string(bytes.size()) + " bytes)";
    return out;
}

// A text field up to its first NUL.
std::string fieldText(const std::uint8_t* payload, std::size_t length) {
    const auto* end = std::find(payload, payload + length, std::uint8_t(0));
    return std::string(payload, end);
}

// Whatever the panel sent goes back into a log line: anything but plain ASCII is escaped.
std::string quoted(const std::string& text) {
    std::string out = "\"";
    char escape[8];
    for (unsigned char c : text) {
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            out += char(c);
        } else {
            std::snprintf(escape, sizeof escape, "\\x%02X", c);
            out += escape;
        }
    }
    return out + "\"";
}

const char* testName(std::uint16_t code) {
    switch (code) {
    case CMD_GRID_PIXEL_TEST:
        return "Pixel test";
    case CMD_POD_CYCLE_COLORS:
        return "Pod colour cycle";
    case CMD_RING_CYCLE:
        return "Ring cycle";
    case CMD_RING_GROUP_TEST:
        return "Ring group test";
    case CMD_POD_TEST:
        return "Pod test";
    case CMD_GRID_ALTERNATE:
        return "Grid alternate test";
    case CMD_GRID_COLUMN_TEST:
        return "Grid column test";
    case CMD_GRID_ROW_TEST:
        return "Grid row test";
    case CMD_UNDERLIGHTING_SIGN_TEST:
        return "Underlighting and sign test";
    default:
        return nullptr;
    }
}

std::string manualColours(const char* what, const std::uint8_t* payload, bool& manual,
                          std::array<std::uint32_t, 2>& colours) {
    if (payload[0] > 1)
        return std::string(what) + " flag " + std::to_string(payload[0]) +
               " not understood - ignored\r\n";
    manual = payload[0] == 1;
    colours = {colourAt(payload + 1), colourAt(payload + 4)};
    if (!manual)
        return std::string(what) + " automatic\r\n";
    return std::string(what) + " manual, team 1 " + colourText(colours[0]) + " team 2 " +
           colourText(colours[1]) + "\r\n";
}
} // namespace

TableModel::TableModel() : m_eeprom(initialEeprom()) {}

TableModel::Eeprom TableModel::initialEeprom() {
    Eeprom image;
    // Every 16-bit word holds its own number, low byte first: each row differs from all others
    // and a reader of the dump sees at once where a row came from.
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = std::uint8_t((i % 2 ? (i / 2) >> 8 : i / 2) & 0xFF);
    return image;
}

Answer TableModel::handle(const std::vector<std::uint8_t>& frame, const SimOptions& options) {
    if (frame.size() < 2)
        return notUnderstood(frame, options);
    const std::uint16_t code = std::uint16_t((frame[0] << 8) | frame[1]);
    const CommandInfo* info = CommandSet::find(code);
    if (!info)
        return notUnderstood(frame, options);
    const std::size_t length = frame.size() - 2;
    if (length != info->payloadLength) {
        return text(std::string(info->name) + " with " + std::to_string(length) +
                        " payload bytes instead of " + std::to_string(info->payloadLength) +
                        " - ignored\r\n",
                    options);
    }
    if (code == CMD_EEPROM_DUMP)
        return dump(options);
    if (code == CMD_DEBUG_TEST && options.floodBytes > 0)
        return flood(options.floodBytes);
    return text(apply(code, frame.data() + 2, length), options);
}

Answer TableModel::notUnderstood(const std::vector<std::uint8_t>& bytes,
                                 const SimOptions& options) {
    return text("Unknown command " + hexBytes(bytes, 8) + " - ignored\r\n", options);
}

Answer TableModel::incomplete(const std::vector<std::uint8_t>& bytes, const SimOptions& options) {
    const std::vector<std::uint8_t> codeBytes(
        bytes.begin(), bytes.begin() + std::ptrdiff_t(std::min<std::size_t>(2, bytes.size())));
    std::string line = "Incomplete command " + hexBytes(codeBytes, 2);
    const CommandInfo* info = bytes.size() >= 2 ? CommandSet::find(bytes[1]) : nullptr;
    if (info)
        line.append(" ")
            .append(info->name)
            .append(", ")
            .append(std::to_string(bytes.size()))
            .append(" of ")
            .append(std::to_string(info->payloadLength + 2))
            .append(" bytes");
    return text(line + " - dropped\r\n", options);
}

Answer TableModel::text(const std::string& lines, const SimOptions& options) const {
    Answer answer{Answer::Kind::Text, std::vector<std::uint8_t>(lines.begin(), lines.end())};
    if (!options.nulInAnswers)
        return answer;
    // Mostly NUL, which a log drops, with a few bytes no text has.
    static constexpr std::uint8_t kNoise[] = {0x00, 0x00, 0x01, 0x00, 0x7F, 0x00, 0xFE, 0x00};
    std::vector<std::uint8_t> noisy;
    noisy.reserve(lines.size() * 2);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        noisy.push_back(std::uint8_t(lines[i]));
        if (i % 3 == 1)
            noisy.push_back(kNoise[(i / 3) % std::size(kNoise)]);
    }
    answer.bytes = std::move(noisy);
    return answer;
}

std::string TableModel::apply(std::uint16_t code, const std::uint8_t* payload, std::size_t length) {
    if (testName(code))
        return startTest(code, payload[0]);
    switch (code) {
    case CMD_SET_MODE:
        return setMode(payload);
    case CMD_SET_UNDERLIGHTING:
        return manualColours("Underlighting", payload, m_state.underlightManual,
                             m_state.underlightColours);
    case CMD_SET_CUSTOM_SIGNS:
        return manualColours("Custom signs", payload, m_state.signsManual, m_state.signColours);
    case CMD_SET_SCROLLING_TEXT:
        m_state.scrollingText = fieldText(payload, length);
        return m_state.scrollingText.empty()
                   ? "Scrolling text cleared\r\n"
                   : "Scrolling text set: " + quoted(m_state.scrollingText) + "\r\n";
    case CMD_SET_BLUETOOTH_NAME:
        m_state.bluetoothName = fieldText(payload, length);
        return m_state.bluetoothName.empty()
                   ? "Bluetooth name cleared\r\n"
                   : "Bluetooth name set: " + quoted(m_state.bluetoothName) + "\r\n";
    case CMD_SET_POD_SENSITIVITY:
        if (payload[0] < 1 || payload[0] > 10)
            return "Pod sensitivity " + std::to_string(payload[0]) +
                   " out of range (1-10) - ignored\r\n";
        m_state.podSensitivity = payload[0];
        return "Pod sensitivity set: " + std::to_string(payload[0]) + "\r\n";
    case CMD_EEPROM_TEST:
        return eepromTest(payload, length);
    case CMD_EEPROM_ERASE:
        m_eeprom.fill(0xFF);
        return "EEPROM erased: " + std::to_string(kEepromSize) + " bytes set to 0xFF\r\n";
    case CMD_EEPROM_FORMAT:
        m_eeprom.fill(0x00);
        std::memcpy(m_eeprom.data(), kFormatSignature, std::strlen(kFormatSignature));
        return "EEPROM formatted: signature at 0x0000, the rest 0x00\r\n";
    case CMD_DEBUGGER_START:
        m_state.debuggerOpen = true;
        return "Debugger open\r\n";
    case CMD_EXIT:
        m_state.debuggerOpen = false;
        m_state.stepMode = false;
        return "Debugger closed\r\n";
    case CMD_STEP_MODE_ON:
        m_state.stepMode = true;
        return "Step mode on\r\n";
    case CMD_STEP_MODE_OFF:
        m_state.stepMode = false;
        return "Step mode off\r\n";
    case CMD_STEP:
        return m_state.stepMode ? "Step\r\n" : "Step ignored - step mode is off\r\n";
    case CMD_CANCEL:
        return "Test cancelled\r\n";
    case CMD_RESET:
        m_state.debuggerOpen = false;
        m_state.stepMode = false;
        return "Table reset\r\n";
    case CMD_FACTORY_RESET: {
        // Settings go back to their defaults; the debugger session itself stays as it is.
        TableState fresh;
        fresh.debuggerOpen = m_state.debuggerOpen;
        fresh.stepMode = m_state.stepMode;
        m_state = fresh;
        return "Factory reset: settings back to defaults\r\n";
    }
    case CMD_VERSION_READ:
        return kVersionLine;
    case CMD_QC_TEST:
        return "QC test passed: grid, pods, rings, signs, EEPROM\r\n";
    case CMD_DEBUG_TEST:
        return "Debug test: link OK\r\n";
    case CMD_GRID_FILL:
        return "Grid filled\r\n";
    case CMD_GRID_CLEAR:
        return "Grid cleared\r\n";
    case CMD_POD_SENSOR_TEST:
        return "Pod sensor test started\r\n";
    case CMD_POD_READ_SENSORS: {
        std::string line = "Pod sensors:";
        for (int pod = 0; pod < kPodCount; ++pod)
            line.append(" ").append(
                std::to_string(400 + (pod * 53 + m_state.podSensitivity * 7) % 200));
        return line + "\r\n";
    }
    case CMD_POD_READ_SENSORS_SHORT:
        return "Pod sensors: 0 of " + std::to_string(kPodCount) + " covered\r\n";
    default:
        return std::string(CommandSet::nameOf(code)) + " done\r\n";
    }
}

std::string TableModel::setMode(const std::uint8_t* payload) {
    const int mode = payload[0];
    if (mode >= TableVocabulary::kModeCount)
        return "Mode " + std::to_string(mode) + " out of range (0-9) - ignored\r\n";
    m_state.mode = mode;
    std::string line = "Mode set: " + std::to_string(mode) + " " +
                       std::string(TableVocabulary::modes()[std::size_t(mode)]);
    if (mode == TableVocabulary::kCustomGameMode) {
        auto& cups = m_state.cupColours;
        for (std::size_t i = 0; i < cups.size(); ++i)
            cups[i] = colourAt(payload + 1 + 3 * i);
        line += ", team 1 cups " + colourText(cups[0]) + " on " + colourText(cups[1]) +
                " off, team 2 cups " + colourText(cups[2]) + " on " + colourText(cups[3]) + " off";
    }
    return line + "\r\n";
}

std::string TableModel::startTest(std::uint16_t code, int speed) {
    if (speed > kMaxSpeed)
        return std::string(testName(code)) + " speed " + std::to_string(speed) +
               " out of range (0-100) - ignored\r\n";
    m_state.lastTestSpeed = speed;
    return std::string(testName(code)) + " started at speed " + std::to_string(speed) + "\r\n";
}

std::string TableModel::eepromTest(const std::uint8_t* payload, std::size_t length) {
    static constexpr std::uint8_t kPattern[] = {0x00, 0x0A, 'Z', 'E', 'N', 'T', 'A'};
    char address[16];
    std::snprintf(address, sizeof address, "0x%04zX", kEepromTestAddress);
    if (length != std::size(kPattern) || !std::equal(payload, payload + length, kPattern))
        return "EEPROM test failed: unexpected pattern " +
               hexBytes(std::vector<std::uint8_t>(payload, payload + length), 8) + "\r\n";
    std::copy(payload, payload + length, m_eeprom.begin() + kEepromTestAddress);
    if (!std::equal(payload, payload + length, m_eeprom.begin() + kEepromTestAddress))
        return std::string("EEPROM test failed: read back differs at ") + address + "\r\n";
    return std::string("EEPROM test passed: pattern written and verified at ") + address + "\r\n";
}

Answer TableModel::dump(const SimOptions& options) const {
    if (options.noDumpReply)
        return {};
    Answer answer{Answer::Kind::Dump, {}};
    const std::string header = SimulatedTable::kDumpHeader;
    answer.bytes.reserve(header.size() + kEepromSize);
    answer.bytes.assign(header.begin(), header.end());
    answer.bytes.insert(answer.bytes.end(), m_eeprom.begin(), m_eeprom.end());
    if (options.cutDumpAfter >= 0 && std::size_t(options.cutDumpAfter) < answer.bytes.size())
        answer.bytes.resize(std::size_t(options.cutDumpAfter));
    return answer;
}

Answer TableModel::flood(std::size_t count) {
    Answer answer{Answer::Kind::Raw, std::vector<std::uint8_t>(count)};
    std::uniform_int_distribution<int> byte(0, 255);
    for (auto& b : answer.bytes)
        b = std::uint8_t(byte(m_random));
    // At least one NUL, however short the flood.
    answer.bytes[count / 2] = 0x00;
    return answer;
}

} // namespace glowdeck::sim
