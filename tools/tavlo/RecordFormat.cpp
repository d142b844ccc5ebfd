#include "tools/tavlo/RecordFormat.h"

#include <algorithm>

#include "tools/common/Json.h"
#include "tools/tavlo/Cli.h"

namespace tavlo::cli {

void PrintFieldsText(std::ostream& out, const std::vector<FieldText>& fields, bool withSecrets) {
    std::size_t width = 0;
    for (const FieldText& field : fields) {
        width = std::max(width, field.name.size());
    }
    for (const FieldText& field : fields) {
        if (field.secret && !withSecrets) {
            continue;
        }
        out << field.name << std::string(width + 2 - field.name.size(), ' ')
            << Printable(field.value) << '\n';
    }
}

void PrintFieldsJson(std::ostream& out, const std::vector<FieldText>& fields, bool withSecrets) {
    json::Json record = json::Json::object();
    for (const FieldText& field : fields) {
        if (!field.secret || withSecrets) {
            record[field.name] = field.value;
        }
    }
    out << json::Write(record) << '\n';
}

}  // namespace tavlo::cli
