#include "workflow/ClockRecord.h"

#include "platform/Ipv4.h"
#include "wifi/WifiSettings.h"

namespace tavlo::workflow {

std::vector<FieldText> ClockReplyFields(settings::ConstSettingsBytes frame) {
    std::vector<FieldText> fields = settings::DescribeClockSettings(frame);
    const std::vector<FieldText> wifiFields = wifi::DescribeWifiSettings(frame);
    fields.insert(fields.end(), wifiFields.begin(), wifiFields.end());
    return fields;
}

std::vector<FieldText> EarlyReplyFields(settings::ConstCommandBytes frame) {
    return settings::DescribeEarlyClockSettings(frame);
}

std::vector<FieldText> ReplyFields(const ReadResult& read, ClockKind kind) {
    return kind == ClockKind::kEarly ? EarlyReplyFields(read.commandFrame)
                                     : ClockReplyFields(read.settingsFrame);
}

std::vector<FieldText> ClockRecord(platform::Ipv4 address, const ReadResult& read, ClockKind kind,
                                   bool withSecrets) {
    std::vector<FieldText> record{FieldText{kAddressKey, 0, platform::FormatIpv4(address)}};
    for (FieldText& field : ReplyFields(read, kind)) {
        if (!field.secret || withSecrets) {
            record.push_back(std::move(field));
        }
    }
    return record;
}

std::vector<std::string> RecordColumns(ClockKind kind, bool withSecrets) {
    std::vector<std::string> names;
    for (const FieldText& field :
         ClockRecord(platform::kAnyAddress, ReadResult{}, kind, withSecrets)) {
        names.push_back(field.name);
    }
    return names;
}

std::string CsvLine(const std::vector<std::string>& cells) {
    constexpr std::string_view kQuoted = ",\"\r\n";
    std::string line;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const std::string& cell = cells[i];
        line += i == 0 ? "" : ",";
        if (cell.find_first_of(kQuoted) == std::string::npos) {
            line += cell;
            continue;
        }
        line += '"';
        for (const char c : cell) {
            line += c == '"' ? std::string("\"\"") : std::string(1, c);
        }
        line += '"';
    }
    return line + "\r\n";
}

}  // namespace tavlo::workflow
