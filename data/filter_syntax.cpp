#include "data/filter_syntax.h"

#include <functional>
#include <utility>

#include "data/dataset.h"
#include "data/messages.h"
#include "engine/dbengine.h"

namespace {

using Kind = TFilterTokenKind;

[[noreturn]] void Terminated() {
    throw EDatabaseError(FormatMessage(msg::FilterTerminated));
}

// A recursive-descent reader with one token of look-ahead. Only '(' recurses, so its depth
// bounds the stack.
class SyntaxReader {
  public:
    SyntaxReader(std::string_view text, const TDataSet& dataSet)
        : tokens_(text), dataSet_(dataSet), current_(tokens_.Next()) {}

    TFilterSyntax Read() {
        int root = 0;
        if (current_.kind == Kind::End) {
            root = Push(Node(fltTRUE));
        } else {
            root = Disjunction(0);
            if (current_.kind != Kind::End) Terminated();
        }
        return {std::move(drafts_), root};
    }

  private:
    int Disjunction(int depth) {
        return Run(fltOR, Kind::Or, [&] { return Conjunction(depth); });
    }

    int Conjunction(int depth) {
        return Run(fltAND, Kind::And, [&] { return Negation(depth); });
    }

    int Run(std::uint16_t kind, Kind joiner, const std::function<int()>& operand) {
        std::vector<int> operands{operand()};
        while (Accept(joiner)) operands.push_back(operand());
        return Balanced(kind, std::move(operands));
    }

    // NOT NOT x is x, so a run of NOTs costs at most one node.
    int Negation(int depth) {
        bool negated = false;
        while (Accept(Kind::Not)) negated = !negated;
        const int operand = Primary(depth);
        if (!negated) return operand;
        return Push(Node(fltNOT, operand));
    }

    int Primary(int depth) {
        if (current_.kind != Kind::Open) return Condition();
        if (depth == kMaxFilterNesting) {
            throw EDatabaseError(FormatMessage(msg::FilterInvalidCharacter, {"("}));
        }
        Advance();
        const int inner = Disjunction(depth + 1);
        Expect(Kind::Close);
        return inner;
    }

    int Condition() {
        TFilterDraft draft;
        draft.first = Value();
        if (current_.kind == Kind::Compare) {
            draft.kind = fltCOMPARE;
            draft.op = current_.op;
            Advance();
            draft.second = Value();
        } else if (Accept(Kind::Like)) {
            draft.kind = fltLIKE;
            draft.second = Value();
        } else if (Accept(Kind::Is)) {
            draft.kind = Accept(Kind::Not) ? fltISNOTNULL : fltISNULL;
            Expect(Kind::Null);
        } else if (draft.first.kind == Kind::Name && Accept(Kind::In)) {
            return InList(draft.first);
        }
        return Push(std::move(draft));
    }

    // field IN (a, b, ...) is field = a OR field = b OR ...; only a field's value is cheap to
    // repeat in every equality.
    int InList(const TFilterValue& field) {
        Expect(Kind::Open);
        std::vector<int> equalities;
        do {
            TFilterDraft equality = Node(fltCOMPARE);
            equality.op = fltopEQ;
            equality.first = field;
            equality.second = Value();
            equalities.push_back(Push(std::move(equality)));
        } while (Accept(Kind::Comma));
        Expect(Kind::Close);
        return Balanced(fltOR, std::move(equalities));
    }

    TFilterValue Value() {
        TFilterValue value{current_.kind, nullptr, {}};
        switch (current_.kind) {
            // Looked up before the next token is read, so that a missing field is reported
            // ahead of whatever follows it.
            case Kind::Name:
                value.field = dataSet_.FieldByName(current_.text);
                break;
            case Kind::Text:
            case Kind::Number:
                value.text = std::move(current_.text);
                break;
            case Kind::Null:
            case Kind::True:
            case Kind::False:
                break;
            default:
                Terminated();
        }
        Advance();
        return value;
    }

    // Joins the operands pairwise, round after round: depth log2(n) instead of n.
    int Balanced(std::uint16_t kind, std::vector<int> operands) {
        while (operands.size() > 1) {
            std::vector<int> joined;
            joined.reserve(operands.size() / 2 + 1);
            for (std::size_t i = 0; i + 1 < operands.size(); i += 2) {
                joined.push_back(Push(Node(kind, operands[i], operands[i + 1])));
            }
            if (operands.size() % 2 == 1) joined.push_back(operands.back());
            operands = std::move(joined);
        }
        return operands.front();
    }

    // A draft of the given kind with the given operands and no values yet.
    static TFilterDraft Node(std::uint16_t kind, int left = -1, int right = -1) {
        TFilterDraft draft;
        draft.kind = kind;
        draft.left = left;
        draft.right = right;
        return draft;
    }

    int Push(TFilterDraft draft) {
        drafts_.push_back(std::move(draft));
        return static_cast<int>(drafts_.size()) - 1;
    }

    void Advance() { current_ = tokens_.Next(); }

    bool Accept(Kind kind) {
        if (current_.kind != kind) return false;
        Advance();
        return true;
    }

    void Expect(Kind kind) {
        if (!Accept(kind)) Terminated();
    }

    TFilterTokenizer tokens_;
    const TDataSet& dataSet_;
    TFilterToken current_;
    std::vector<TFilterDraft> drafts_;
};

}  // namespace

TFilterSyntax ReadFilterSyntax(std::string_view text, const TDataSet& dataSet) {
    return SyntaxReader(text, dataSet).Read();
}
