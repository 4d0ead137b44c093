// The filter parser under libFuzzer: any bytes either parse into a well-formed node array or
// are refused with one of the filter language's messages, in its failure class. Anything else
// (another exception, another message, a malformed tree, a sanitizer report, a hang) is a
// finding.
//
// The first input byte chooses the settings, the rest is the filter text:
//   bit 0 case-insensitive, bit 1 no partial compare, bit 2 the visits instead of the patients
//   (memo fields), bit 3 ',' as decimal separator, bits 4-5 the short date format.
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "base/dates.h"
#include "base/short_date_format.h"
#include "data/clinic_record_sets.h"
#include "data/filter_parser.h"
#include "data/filter_syntax.h"
#include "data/number_format.h"

namespace {

[[noreturn]] void Finding(const std::string& what, const std::string& text) {
    std::fprintf(stderr, "finding: %s\ntext (%zu bytes): %s\n", what.c_str(), text.size(),
                 text.c_str());
    std::abort();
}

// The clinic's record sets, never opened: the parser needs only their fields and numbers.
ClinicRecordSets& RecordSets() {
    static ClinicRecordSets* sets = [] {
        auto* created = new ClinicRecordSets;  // lives as long as the fuzzing process
        for (TDataSet* dataSet : {static_cast<TDataSet*>(&created->Tablebingren),
                                  static_cast<TDataSet*>(&created->TableBingli)}) {
            for (int i = 0; i < dataSet->FieldCount(); ++i) dataSet->Fields(i)->SetFieldNo(i + 1);
        }
        dates::SetToday(dates::FromCivil(2026, 12, 8));
        return created;
    }();
    return *sets;
}

bool Wrapped(std::string_view message, std::string_view front, std::string_view back) {
    return message.size() >= front.size() + back.size() && message.starts_with(front) &&
           message.ends_with(back);
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

// One printable ASCII character, or one byte as \xNN.
bool NamesOneCharacter(std::string_view message) {
    const std::string_view front = "Invalid filter expression character: '";
    if (!Wrapped(message, front, "'")) return false;
    const std::string_view named = message.substr(front.size(), message.size() - front.size() - 1);
    if (named.size() == 1) return named[0] > ' ' && named[0] < 0x7F;
    return named.size() == 4 && named.starts_with("\\x") && IsHexDigit(named[2]) &&
           IsHexDigit(named[3]);
}

bool IsRefusal(const Exception& e, const TDataSet& dataSet) {
    const std::string message = e.Message();
    const std::string className = e.ClassName();
    if (className == "EConvertError") {
        return Wrapped(message, "'", "' is not a valid date") ||
               Wrapped(message, "'", "' is not a valid integer value");
    }
    if (className != "EDatabaseError") return false;
    return message == "Arithmetic in filter expressions not supported" ||
           message == "Filter expression incorrectly terminated" ||
           message == "Type mismatch in expression" || NamesOneCharacter(message) ||
           Wrapped(message, dataSet.Name() + ": Field '", "' not found");
}

bool FieldNumberValid(const TDataSet& dataSet, int fieldNo) {
    return fieldNo >= 1 && fieldNo <= dataSet.FieldCount();
}

bool IsMemo(const TDataSet& dataSet, int fieldNo) {
    return dataSet.Fields(fieldNo - 1)->DataType() == TFieldType::ftMemo;
}

bool OwnsText(const TFilterProgram& program, const char* text) {
    for (const auto& owned : program.texts) {
        if (owned->c_str() == text) return true;
    }
    return false;
}

// What the node says about a condition; empty when it is well formed.
std::string ConditionFault(const TFilterProgram& program, const DBIFilterNode& n,
                           const TDataSet& dataSet) {
    if (!FieldNumberValid(dataSet, n.iFldNum)) return "field number out of range";
    if (n.pszConst && !OwnsText(program, n.pszConst)) return "constant text not owned";
    if (n.iKind == fltLIKE && !n.pszConst) return "LIKE without a pattern";
    if (n.iKind != fltCOMPARE) return {};
    if (n.iOperator < fltopEQ || n.iOperator > fltopGE) return "bad operator";
    if (IsMemo(dataSet, n.iFldNum)) return "memo compared";
    if (n.iFldNum2 && (!FieldNumberValid(dataSet, n.iFldNum2) || IsMemo(dataSet, n.iFldNum2))) {
        return "bad second field";
    }
    return {};
}

// What is wrong with an accepted program; empty when it is a tree of valid nodes, shallow.
std::string ProgramFault(const TFilterProgram& program, const TDataSet& dataSet) {
    const std::size_t count = program.nodes.size();
    if (count == 0) return "no nodes";
    std::vector<int> uses(count, 0), depth(count, 1);
    const int deepest = (kMaxFilterNesting + 1) * (2 * static_cast<int>(std::bit_width(count)) + 1);
    for (std::size_t i = 0; i < count; ++i) {
        const DBIFilterNode& n = program.nodes[i];
        if (depth[i] > deepest) return "too deep";
        if (n.iKind < fltAND || n.iKind > fltFALSE) return "bad kind";
        const int operands = n.iKind == fltAND || n.iKind == fltOR ? 2 : n.iKind == fltNOT ? 1 : 0;
        const std::int32_t indexes[2] = {n.iLeft, n.iRight};
        for (int k = 0; k < 2; ++k) {
            const std::int32_t at = indexes[k];
            if (k >= operands) {
                if (at != 0) return "unused operand not 0";
                continue;
            }
            if (at <= static_cast<std::int32_t>(i) || static_cast<std::size_t>(at) >= count) {
                return "operand out of order";
            }
            ++uses[static_cast<std::size_t>(at)];
            depth[static_cast<std::size_t>(at)] = depth[i] + 1;
        }
        if (operands == 0 && n.iKind != fltTRUE && n.iKind != fltFALSE) {
            const std::string fault = ConditionFault(program, n, dataSet);
            if (!fault.empty()) return fault;
        }
    }
    for (std::size_t i = 1; i < count; ++i) {
        if (uses[i] != 1) return "not a tree";
    }
    return {};
}

void ApplySettings(std::uint8_t settings) {
    static const char* const kFormats[] = {"yyyy-M-d", "d/M/yyyy", "d.M.yyyy", "M-d-yy"};
    SetDecimalSeparator(settings & 8 ? ',' : '.');
    dates::SetShortDateFormat(kFormats[(settings >> 4) & 3]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    ClinicRecordSets& sets = RecordSets();
    const std::uint8_t settings = data[0];
    ApplySettings(settings);
    const TDataSet& dataSet = settings & 4 ? static_cast<const TDataSet&>(sets.TableBingli)
                                           : static_cast<const TDataSet&>(sets.Tablebingren);
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    try {
        const TFilterProgram program = ParseFilter(text, dataSet, settings & 1, settings & 2);
        const std::string fault = ProgramFault(program, dataSet);
        if (!fault.empty()) Finding("accepted into a malformed program: " + fault, text);
    } catch (const Exception& e) {
        if (!IsRefusal(e, dataSet)) {
            Finding(std::string("refused with ") + e.ClassName() + ": " + e.Message(), text);
        }
    }
    return 0;
}
