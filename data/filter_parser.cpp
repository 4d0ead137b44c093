#include "data/filter_parser.h"

#include <charconv>
#include <limits>
#include <utility>

#include "base/dates.h"
#include "base/gbk_text.h"
#include "base/short_date_format.h"
#include "data/exceptions.h"
#include "data/fields.h"
#include "data/filter_syntax.h"
#include "data/messages.h"

namespace {

using Kind = TFilterTokenKind;

// What a field's constants are made of; None for kinds that no comparison takes (memos).
enum class ConstantKind { None, Text, Integer, Date };

ConstantKind ConstantKindOf(const TField& field) {
    switch (field.DataType()) {
        case TFieldType::ftString:
            return ConstantKind::Text;
        case TFieldType::ftSmallint:
        case TFieldType::ftInteger:
        case TFieldType::ftAutoInc:
            return ConstantKind::Integer;
        case TFieldType::ftDate:
            return ConstantKind::Date;
        default:
            return ConstantKind::None;
    }
}

[[noreturn]] void Mismatch() {
    throw EDatabaseError(FormatMessage(msg::FilterTypeMismatch));
}

const TField& FieldOf(const TFilterValue& value) {
    if (value.kind != Kind::Name) Mismatch();
    return *value.field;
}

// A decimal integer with an optional sign, in the 32-bit range; nothing else, not even blanks.
std::int64_t IntegerConstant(const std::string& text) {
    std::string_view digits = text;
    const bool negative = !digits.empty() && digits.front() == '-';
    if (negative || (!digits.empty() && digits.front() == '+')) digits.remove_prefix(1);
    std::int64_t magnitude = 0;
    const bool decimal = !digits.empty() && digits.front() >= '0' && digits.front() <= '9';
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), magnitude);
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (!decimal || error != std::errc() || end != digits.data() + digits.size() ||
        value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max()) {
        throw EConvertError(FormatMessage(msg::InvalidInteger, {text}));
    }
    return value;
}

std::int64_t DateConstant(const std::string& text) {
    const std::optional<int> days = dates::ParseShortDate(text);
    if (!days) throw EConvertError(FormatMessage(msg::InvalidDate, {text}));
    return *days;
}

// The operator that keeps the meaning when its two sides change places.
std::uint16_t Mirrored(std::uint16_t op) {
    switch (op) {
        case fltopLT:
            return fltopGT;
        case fltopLE:
            return fltopGE;
        case fltopGT:
            return fltopLT;
        case fltopGE:
            return fltopLE;
        default:
            return op;
    }
}

// Turns the drafts into engine nodes, one at a time in the order of the text, and keeps the
// texts that the nodes point at.
class Typing {
  public:
    Typing(bool caseInsensitive, bool noPartialCompare)
        : caseInsensitive_(caseInsensitive), noPartialCompare_(noPartialCompare) {}

    DBIFilterNode Type(TFilterDraft& draft) {
        DBIFilterNode node{};
        node.iKind = draft.kind;
        node.iLeft = draft.left;
        node.iRight = draft.right;
        switch (draft.kind) {
            case kFilterValueAlone:
                node.iKind = Alone(draft.first);
                break;
            case fltISNULL:
            case fltISNOTNULL:
                node.iFldNum = FieldNumber(FieldOf(draft.first));
                break;
            case fltLIKE:
                Like(node, draft);
                break;
            case fltCOMPARE:
                Compare(node, draft);
                break;
            default:
                break;  // fltAND, fltOR, fltNOT and fltTRUE need nothing more
        }
        return node;
    }

    std::vector<std::unique_ptr<std::string>> TakeTexts() { return std::move(texts_); }

  private:
    static std::uint16_t Alone(const TFilterValue& value) {
        if (value.kind == Kind::True) return fltTRUE;
        if (value.kind == Kind::False) return fltFALSE;
        Mismatch();
    }

    static std::uint16_t FieldNumber(const TField& field) {
        return static_cast<std::uint16_t>(field.FieldNo());
    }

    void Like(DBIFilterNode& node, TFilterDraft& draft) {
        const TField& field = FieldOf(draft.first);
        const bool textField =
            field.DataType() == TFieldType::ftString || field.DataType() == TFieldType::ftMemo;
        const bool literal = draft.second.kind == Kind::Text || draft.second.kind == Kind::Number;
        if (!textField || !literal) Mismatch();
        node.iFldNum = FieldNumber(field);
        node.pszConst = Keep(std::move(draft.second.text));
        node.bCaseInsensitive = caseInsensitive_;
    }

    void Compare(DBIFilterNode& node, TFilterDraft& draft) {
        TFilterValue* fieldSide = &draft.first;
        TFilterValue* other = &draft.second;
        node.iOperator = draft.op;
        if (fieldSide->kind != Kind::Name && other->kind == Kind::Name) {
            std::swap(fieldSide, other);
            node.iOperator = Mirrored(draft.op);
        }
        const TField& field = FieldOf(*fieldSide);
        const ConstantKind kind = ConstantKindOf(field);
        if (kind == ConstantKind::None) Mismatch();
        node.iFldNum = FieldNumber(field);
        switch (other->kind) {
            case Kind::Name:
                SecondField(node, kind, *other->field);
                break;
            case Kind::Null:
                node.bConstNull = 1;
                break;
            case Kind::Text:
            case Kind::Number:
                Constant(node, kind, other->text);
                break;
            default:
                Mismatch();  // TRUE or FALSE
        }
    }

    void SecondField(DBIFilterNode& node, ConstantKind kind, const TField& second) {
        if (ConstantKindOf(second) != kind) Mismatch();
        node.iFldNum2 = FieldNumber(second);
        node.bCaseInsensitive = kind == ConstantKind::Text && caseInsensitive_;
    }

    // Takes the text over.
    void Constant(DBIFilterNode& node, ConstantKind kind, std::string& text) {
        if (kind == ConstantKind::Integer) {
            node.iConst = IntegerConstant(text);
        } else if (kind == ConstantKind::Date) {
            node.iConst = DateConstant(text);
        } else {
            TextConstant(node, text);
        }
    }

    void TextConstant(DBIFilterNode& node, std::string& text) {
        node.bCaseInsensitive = caseInsensitive_;
        const bool partial =
            node.iOperator == fltopEQ && !noPartialCompare_ && !text.empty() && text.back() == '*';
        if (partial) {
            text.pop_back();
            const std::size_t length = gbk::Length(text);
            if (length == 0) {
                // Every value begins with nothing: the test is only that there is a value.
                node.iKind = fltISNOTNULL;
                node.iOperator = 0;
                node.bCaseInsensitive = 0;
                return;
            }
            if (length <= std::numeric_limits<std::uint16_t>::max()) {
                node.iPartialLen = static_cast<std::uint16_t>(length);
            }
        }
        node.pszConst = Keep(std::move(text));
    }

    const char* Keep(std::string text) {
        texts_.push_back(std::make_unique<std::string>(std::move(text)));
        return texts_.back()->c_str();
    }

    bool caseInsensitive_;
    bool noPartialCompare_;
    std::vector<std::unique_ptr<std::string>> texts_;
};

// Places the nodes breadth first from the root, so that every operand stands after the node
// that uses it; unused operand fields become 0.
std::vector<DBIFilterNode> LaidOut(const std::vector<DBIFilterNode>& typed, int root) {
    std::vector<int> order{root};  // the typed index of each laid-out node
    std::vector<DBIFilterNode> nodes;
    nodes.reserve(typed.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        DBIFilterNode node = typed[static_cast<std::size_t>(order[i])];
        for (std::int32_t* operand : {&node.iLeft, &node.iRight}) {
            if (*operand < 0) {
                *operand = 0;
            } else {
                order.push_back(*operand);
                *operand = static_cast<std::int32_t>(order.size() - 1);
            }
        }
        nodes.push_back(node);
    }
    return nodes;
}

}  // namespace

TFilterProgram ParseFilter(const std::string& text, const TDataSet& dataSet, bool caseInsensitive,
                           bool noPartialCompare) {
    TFilterSyntax syntax = ReadFilterSyntax(text, dataSet);
    Typing typing(caseInsensitive, noPartialCompare);
    std::vector<DBIFilterNode> typed;
    typed.reserve(syntax.drafts.size());
    for (TFilterDraft& draft : syntax.drafts) typed.push_back(typing.Type(draft));
    return {LaidOut(typed, syntax.root), typing.TakeTexts()};
}
