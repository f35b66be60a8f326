#include "script/vbs/Parser.h"

#include "script/vbs/Errors.h"
#include "script/vbs/Lexer.h"
#include "script/vbs/Text.h"

namespace vk::vbs {

namespace {

constexpr int kMaxDepth = 200;
constexpr int kMaxOperators = 5000;

Name makeName(const std::u16string& text) {
    Name n;
    n.text = text;
    n.lower = toLower(text);
    n.utf8 = utf16ToUtf8(text);
    return n;
}

class Parser {
public:
    explicit Parser(std::u16string_view src) : toks_(tokenize(src)) {}

    std::unique_ptr<Program> program() {
        prog_ = std::make_unique<Program>();
        skipNewLines();
        if (at(Tok::KwOption)) {
            next();
            if (!isIdent(u"explicit")) fail(err::SyntaxError);
            next();
            prog_->optionExplicit = true;
            endOfStatement();
        }
        while (!at(Tok::End)) {
            skipNewLines();
            if (at(Tok::End)) break;
            parseTopLevel(prog_->body);
        }
        return std::move(prog_);
    }

    std::unique_ptr<Program> expression() {
        prog_ = std::make_unique<Program>();
        skipNewLines();
        prog_->expression = expr();
        skipNewLines();
        if (!at(Tok::End)) fail(err::ExpectedEndOfStatement);
        return std::move(prog_);
    }

private:
    // ---- token helpers
    const Token& cur() const { return toks_[pos_]; }
    const Token& peek(size_t k = 1) const { return toks_[std::min(pos_ + k, toks_.size() - 1)]; }
    bool at(Tok k) const { return cur().kind == k; }
    void next() {
        if (pos_ + 1 < toks_.size()) ++pos_;
    }
    bool accept(Tok k) {
        if (!at(k)) return false;
        next();
        return true;
    }
    [[noreturn]] void fail(int32_t number) const { throw SyntaxError(number, cur().line, cur().column); }
    void expect(Tok k, int32_t number) {
        if (!accept(k)) fail(number);
    }
    bool isIdent(const char16_t* lower) const {
        return at(Tok::Ident) && equalsNoCase(cur().text, lower);
    }
    bool atEndOfStatement() const { return at(Tok::NewLine) || at(Tok::End); }
    void skipNewLines() {
        while (at(Tok::NewLine)) next();
    }
    // "End Sub", "End Function", "End Property" and "End Class" also end the statement
    // before them on the same line ("Sub s() x = 1 End Sub").
    bool atDefinitionEnd() const {
        if (!at(Tok::KwEnd)) return false;
        Tok k = peek().kind;
        return k == Tok::KwSub || k == Tok::KwFunction || k == Tok::KwProperty || k == Tok::KwClass;
    }
    void endOfStatement() {
        if (at(Tok::End) || atDefinitionEnd()) return;
        if (!at(Tok::NewLine)) fail(err::ExpectedEndOfStatement);
        next();
    }
    // In a single-line If the statement ends at ':', Else or End If, and the line end ends the If.
    bool atSimpleEnd() const {
        return atEndOfStatement() || atDefinitionEnd() ||
               (singleLine_ > 0 && (at(Tok::KwElse) || (at(Tok::KwEnd) && peek().kind == Tok::KwIf)));
    }
    void statementEnd() {
        if (singleLine_ > 0) {
            if (!atSimpleEnd()) fail(err::ExpectedEndOfStatement);
            return;
        }
        endOfStatement();
    }

    // "Step" and "Property" are keywords only where their statements expect them.
    static bool softKeyword(Tok k) { return k == Tok::KwStep || k == Tok::KwProperty; }
    bool atPropertyDeclaration() const {
        if (!at(Tok::KwProperty)) return false;
        Tok k = peek().kind;
        return k == Tok::KwGet || k == Tok::KwLet || k == Tok::KwSet;
    }
    // Identifier token, or any keyword after a dot.
    bool atNameToken(bool afterDot) const {
        if (at(Tok::Ident) || softKeyword(cur().kind)) return true;
        if (!afterDot) return false;
        Tok k = cur().kind;
        return k >= Tok::KwAnd && !cur().text.empty();
    }
    std::u16string nameText(bool afterDot) {
        if (!atNameToken(afterDot)) fail(err::ExpectedIdentifier);
        std::u16string t = cur().text;
        next();
        return t;
    }

    template <class T>
    std::unique_ptr<T> node() {
        auto n = std::make_unique<T>();
        n->line = cur().line;
        n->column = cur().column;
        return n;
    }

    // ---- top level and declarations
    void parseTopLevel(Block& body) {
        bool isPublic = true, isDefault = false, sawAccess = false;
        if (at(Tok::KwPublic) || at(Tok::KwPrivate)) {
            isPublic = at(Tok::KwPublic);
            Tok after = peek().kind;
            if (after == Tok::KwSub || after == Tok::KwFunction || after == Tok::KwClass ||
                (after == Tok::Ident && equalsNoCase(peek().text, u"default"))) {
                next();
                sawAccess = true;
            }
            if (sawAccess && isIdent(u"default")) {
                isDefault = true;
                next();
            }
        }
        if (at(Tok::KwSub) || at(Tok::KwFunction)) {
            prog_->procs.push_back(parseProc(nullptr, isPublic, isDefault));
            return;
        }
        if (at(Tok::KwClass)) {
            prog_->classes.push_back(parseClass());
            return;
        }
        if (atPropertyDeclaration()) fail(err::MustBeInsideClass);
        if (sawAccess) fail(err::ExpectedStatement);
        parseStatement(body);
    }

    std::vector<Param> parseParams() {
        std::vector<Param> params;
        if (!accept(Tok::LParen)) return params;
        if (accept(Tok::RParen)) return params;
        for (;;) {
            Param p;
            if (accept(Tok::KwByVal)) p.byRef = false;
            else accept(Tok::KwByRef);
            p.name = makeName(nameText(false));
            if (accept(Tok::LParen)) {
                expect(Tok::RParen, err::ExpectedRParen);
                p.isArray = true;
            }
            params.push_back(std::move(p));
            if (accept(Tok::Comma)) continue;
            expect(Tok::RParen, err::ExpectedRParen);
            break;
        }
        return params;
    }

    std::unique_ptr<ProcDef> parseProc(ClassDef* owner, bool isPublic, bool isDefault) {
        auto proc = std::make_unique<ProcDef>();
        proc->line = cur().line;
        proc->owner = owner;
        proc->isPublic = isPublic;
        proc->isDefault = isDefault;
        Tok endKw;
        int32_t endErr;
        if (accept(Tok::KwSub)) {
            proc->kind = ProcKind::Sub;
            endKw = Tok::KwSub;
            endErr = err::ExpectedSub;
        } else if (accept(Tok::KwFunction)) {
            proc->kind = ProcKind::Function;
            endKw = Tok::KwFunction;
            endErr = err::ExpectedFunction;
        } else {
            expect(Tok::KwProperty, err::ExpectedProperty);
            if (accept(Tok::KwGet)) proc->kind = ProcKind::PropGet;
            else if (accept(Tok::KwLet)) proc->kind = ProcKind::PropLet;
            else if (accept(Tok::KwSet)) proc->kind = ProcKind::PropSet;
            else fail(err::ExpectedLetSetGet);
            endKw = Tok::KwProperty;
            endErr = err::ExpectedProperty;
        }
        proc->name = makeName(nameText(false));
        proc->params = parseParams();
        if ((proc->kind == ProcKind::PropLet || proc->kind == ProcKind::PropSet) && proc->params.empty()) fail(err::PropertyNeedsArgument);
        if (atEndOfStatement()) next();  // else the body starts on the same line
        ++inProc_;
        for (;;) {
            skipNewLines();
            if (at(Tok::End)) fail(err::ExpectedEnd);
            if (at(Tok::KwEnd) && peek().kind == endKw) {
                next();
                next();
                break;
            }
            if (at(Tok::KwEnd) && (peek().kind == Tok::KwSub || peek().kind == Tok::KwFunction || peek().kind == Tok::KwProperty)) {
                next();
                fail(endErr);
            }
            if (at(Tok::KwSub) || at(Tok::KwFunction) || at(Tok::KwClass) ||
                ((at(Tok::KwPublic) || at(Tok::KwPrivate)) &&
                 (peek().kind == Tok::KwSub || peek().kind == Tok::KwFunction || peek().kind == Tok::KwProperty)))
                fail(err::ExpectedStatement);
            parseStatement(proc->body);
        }
        --inProc_;
        endOfStatement();
        return proc;
    }

    std::unique_ptr<ClassDef> parseClass() {
        auto cls = std::make_unique<ClassDef>();
        expect(Tok::KwClass, err::ExpectedClass);
        cls->name = makeName(nameText(false));
        endOfStatement();
        for (;;) {
            skipNewLines();
            if (at(Tok::End)) fail(err::ExpectedEnd);
            if (at(Tok::KwEnd)) {
                next();
                expect(Tok::KwClass, err::ExpectedClass);
                endOfStatement();
                break;
            }
            bool isPublic = true, isDefault = false;
            bool access = false;
            if (at(Tok::KwPublic) || at(Tok::KwPrivate)) {
                isPublic = at(Tok::KwPublic);
                access = true;
                next();
                if (isIdent(u"default")) {
                    if (!isPublic) fail(err::DefaultMustBePublic);
                    isDefault = true;
                    next();
                }
            }
            if (at(Tok::KwSub) || at(Tok::KwFunction) || atPropertyDeclaration()) {
                auto p = parseProc(cls.get(), isPublic, isDefault);
                if (isDefault && p->kind != ProcKind::PropGet && p->kind != ProcKind::Function && p->kind != ProcKind::Sub) fail(err::DefaultOnlyOnPropertyGet);
                cls->procs.push_back(std::move(p));
                continue;
            }
            if (isDefault) fail(err::DefaultOnlyOnProcedures);
            if (at(Tok::KwConst)) fail(err::ExpectedStatement);
            if (!access) {
                if (!accept(Tok::KwDim)) fail(err::ExpectedStatement);
            }
            for (;;) {
                ClassField f;
                f.isPublic = isPublic;
                f.name = makeName(nameText(false));
                if (accept(Tok::LParen)) {
                    f.isArray = true;
                    if (!accept(Tok::RParen)) {
                        for (;;) {
                            f.dims.push_back(expr());
                            if (accept(Tok::Comma)) continue;
                            expect(Tok::RParen, err::ExpectedRParen);
                            break;
                        }
                    }
                }
                cls->fields.push_back(std::move(f));
                if (!accept(Tok::Comma)) break;
            }
            endOfStatement();
        }
        return cls;
    }

    // ---- statements
    void parseBlockUntil(Block& body, const std::initializer_list<Tok>& stops, int32_t missingErr) {
        for (;;) {
            skipNewLines();
            if (at(Tok::End)) fail(missingErr);
            for (Tok t : stops)
                if (at(t)) return;
            if (at(Tok::KwEnd)) return;
            if (inProc_ == 0 && atProcedureDeclaration()) {
                // a Sub or Function inside a block of global code is defined like any other
                parseTopLevel(body);
                continue;
            }
            if (at(Tok::KwSub) || at(Tok::KwFunction) || at(Tok::KwClass)) fail(missingErr);
            parseStatement(body);
        }
    }

    bool atProcedureDeclaration() const {
        if (at(Tok::KwSub) || at(Tok::KwFunction)) return true;
        if (!at(Tok::KwPublic) && !at(Tok::KwPrivate)) return false;
        return peek().kind == Tok::KwSub || peek().kind == Tok::KwFunction;
    }

    void parseStatement(Block& body) {
        if (++depth_ > kMaxDepth) throw SyntaxError(err::OutOfStack, cur().line, cur().column);
        StmtPtr s = statement();
        --depth_;
        if (s) body.push_back(std::move(s));
    }

    StmtPtr statement() {
        ops_ = 0;
        const Token& t = cur();
        switch (t.kind) {
            case Tok::KwDim: next(); return dimStmt();
            case Tok::KwPublic: case Tok::KwPrivate:
                next();
                if (at(Tok::KwConst)) { next(); return constStmt(); }
                if (inProc_) fail(err::ExpectedStatement);
                return dimStmt();
            case Tok::KwConst: next(); return constStmt();
            case Tok::KwReDim: next(); return redimStmt();
            case Tok::KwErase: {
                auto s = node<EraseStmt>();
                next();
                s->target = postfixChain(false);
                statementEnd();
                return s;
            }
            case Tok::KwIf: return ifStmt();
            case Tok::KwSelect: return selectStmt();
            case Tok::KwFor: return forStmt();
            case Tok::KwDo: return doStmt();
            case Tok::KwWhile: return whileStmt();
            case Tok::KwWith: return withStmt();
            case Tok::KwExit: return exitStmt();
            case Tok::KwOn: return onErrorStmt();
            case Tok::KwSet: {
                next();
                auto s = node<AssignStmt>();
                s->isSet = true;
                s->target = postfixChain(false);
                expect(Tok::Eq, err::ExpectedEquals);
                s->value = expr();
                statementEnd();
                return s;
            }
            case Tok::KwLet: next(); return exprStatement(false);
            case Tok::KwCall: next(); return exprStatement(true);
            case Tok::KwStop: next(); statementEnd(); return node<NopStmt>();
            case Tok::Ident: case Tok::KwMe: case Tok::Dot: case Tok::KwStep: return exprStatement(false);
            case Tok::KwProperty:
                if (atPropertyDeclaration()) fail(err::MustBeInsideClass);
                return exprStatement(false);
            case Tok::KwLoop: fail(err::LoopWithoutDo);
            case Tok::KwNext: fail(err::UnexpectedNext);
            default: fail(err::ExpectedStatement);
        }
    }

    StmtPtr dimStmt() {
        auto s = node<DimStmt>();
        for (;;) {
            DimItem item;
            item.name = makeName(nameText(false));
            if (accept(Tok::LParen)) {
                item.isArray = true;
                if (!accept(Tok::RParen)) {
                    for (;;) {
                        item.dims.push_back(expr());
                        if (accept(Tok::Comma)) continue;
                        expect(Tok::RParen, err::ExpectedRParen);
                        break;
                    }
                }
            }
            s->items.push_back(std::move(item));
            if (!accept(Tok::Comma)) break;
        }
        statementEnd();
        return s;
    }

    StmtPtr redimStmt() {
        auto s = node<ReDimStmt>();
        if (isIdent(u"preserve")) {
            s->preserve = true;
            next();
        }
        for (;;) {
            DimItem item;
            item.name = makeName(nameText(false));
            item.isArray = true;
            expect(Tok::LParen, err::ExpectedLParen);
            for (;;) {
                item.dims.push_back(expr());
                if (accept(Tok::Comma)) continue;
                expect(Tok::RParen, err::ExpectedRParen);
                break;
            }
            s->items.push_back(std::move(item));
            if (!accept(Tok::Comma)) break;
        }
        statementEnd();
        return s;
    }

    StmtPtr constStmt() {
        auto s = node<ConstStmt>();
        for (;;) {
            Name n = makeName(nameText(false));
            expect(Tok::Eq, err::ExpectedEquals);
            s->items.emplace_back(std::move(n), expr());
            if (!accept(Tok::Comma)) break;
        }
        statementEnd();
        return s;
    }

    StmtPtr ifStmt() {
        auto s = node<IfStmt>();
        next();
        s->conds.push_back(expr());
        expect(Tok::KwThen, err::ExpectedThen);
        if (at(Tok::NewLine) && !cur().colon) {
            // block form
            s->blocks.emplace_back();
            parseBlockUntil(s->blocks.back(), {Tok::KwElseIf, Tok::KwElse}, err::ExpectedEnd);
            for (;;) {
                if (accept(Tok::KwElseIf)) {
                    s->conds.push_back(expr());
                    expect(Tok::KwThen, err::ExpectedThen);
                    s->blocks.emplace_back();
                    if (!atEndOfStatement()) {
                        // "ElseIf x Then stmt" on one line
                        singleLineBody(s->blocks.back());
                    }
                    parseBlockUntil(s->blocks.back(), {Tok::KwElseIf, Tok::KwElse}, err::ExpectedEnd);
                    continue;
                }
                if (accept(Tok::KwElse)) {
                    parseBlockUntil(s->elseBlock, {}, err::ExpectedEnd);
                }
                break;
            }
            expect(Tok::KwEnd, err::ExpectedEnd);
            expect(Tok::KwIf, err::ExpectedIf);
            statementEnd();
            return s;
        }
        // single-line form: If c Then a : b Else c : d
        if (at(Tok::NewLine)) next();  // "If x Then: a" (colon right after Then)
        s->blocks.emplace_back();
        singleLineBody(s->blocks.back());
        if (accept(Tok::KwElse)) {
            singleLineBody(s->elseBlock);
        }
        if (at(Tok::KwEnd) && peek().kind == Tok::KwIf) {  // tolerated: If a Then b: End If
            next();
            next();
        }
        if (singleLine_ == 0) endOfStatement();
        return s;
    }

    void singleLineBody(Block& body) {
        ++singleLine_;
        for (;;) {
            if (at(Tok::KwElse) || (at(Tok::NewLine) && !cur().colon) || at(Tok::End)) break;
            if (at(Tok::NewLine)) {
                next();
                continue;
            }
            if ((at(Tok::KwEnd) && peek().kind == Tok::KwIf) || atDefinitionEnd()) break;
            parseStatement(body);
        }
        --singleLine_;
    }

    StmtPtr selectStmt() {
        auto s = node<SelectStmt>();
        next();
        expect(Tok::KwCase, err::ExpectedCase);
        s->subject = expr();
        endOfStatement();
        skipNewLines();
        while (accept(Tok::KwCase)) {
            if (accept(Tok::KwElse)) {
                s->hasElse = true;
                if (at(Tok::NewLine)) next();
                parseBlockUntil(s->elseBlock, {Tok::KwCase}, err::ExpectedEnd);
                continue;
            }
            std::vector<CaseClause> list;
            for (;;) {
                CaseClause c;
                if (accept(Tok::KwIs)) {
                    c.kind = CaseClause::Is;
                    switch (cur().kind) {
                        case Tok::Eq: c.op = Op::Eq; break;
                        case Tok::Ne: c.op = Op::Ne; break;
                        case Tok::Lt: c.op = Op::Lt; break;
                        case Tok::Gt: c.op = Op::Gt; break;
                        case Tok::Le: c.op = Op::Le; break;
                        case Tok::Ge: c.op = Op::Ge; break;
                        default: fail(err::SyntaxError);
                    }
                    next();
                    c.a = expr();
                } else {
                    c.a = expr();
                    if (accept(Tok::KwTo)) {
                        c.kind = CaseClause::Range;
                        c.b = expr();
                    }
                }
                list.push_back(std::move(c));
                if (!accept(Tok::Comma)) break;
            }
            if (at(Tok::NewLine)) next();
            s->caseLists.push_back(std::move(list));
            s->blocks.emplace_back();
            parseBlockUntil(s->blocks.back(), {Tok::KwCase}, err::ExpectedEnd);
        }
        expect(Tok::KwEnd, err::ExpectedEnd);
        expect(Tok::KwSelect, err::ExpectedSelect);
        statementEnd();
        return s;
    }

    StmtPtr forStmt() {
        int line = cur().line, col = cur().column;
        next();
        if (accept(Tok::KwEach)) {
            auto s = node<ForEachStmt>();
            s->line = line;
            s->column = col;
            s->var = identExpr();
            expect(Tok::KwIn, err::ExpectedIn);
            s->collection = expr();
            endOfStatement();
            parseBlockUntil(s->body, {Tok::KwNext}, err::ExpectedNext);
            expect(Tok::KwNext, err::ExpectedNext);
            if (atNameToken(false)) next();
            statementEnd();
            return s;
        }
        auto s = node<ForStmt>();
        s->line = line;
        s->column = col;
        if (!atNameToken(false)) fail(err::InvalidForVariable);
        s->var = identExpr();
        expect(Tok::Eq, err::ExpectedEquals);
        s->from = expr();
        expect(Tok::KwTo, err::ExpectedTo);
        s->to = expr();
        if (accept(Tok::KwStep)) s->step = expr();
        endOfStatement();
        parseBlockUntil(s->body, {Tok::KwNext}, err::ExpectedNext);
        expect(Tok::KwNext, err::ExpectedNext);
        if (atNameToken(false)) next();
        statementEnd();
        return s;
    }

    StmtPtr doStmt() {
        auto s = node<DoStmt>();
        next();
        if (accept(Tok::KwWhile)) {
            s->test = DoStmt::PreWhile;
            s->cond = expr();
        } else if (accept(Tok::KwUntil)) {
            s->test = DoStmt::PreUntil;
            s->cond = expr();
        }
        if (!atEndOfStatement()) fail(err::ExpectedWhileUntilOrEnd);
        endOfStatement();
        parseBlockUntil(s->body, {Tok::KwLoop}, err::ExpectedLoop);
        expect(Tok::KwLoop, err::ExpectedLoop);
        if (s->test == DoStmt::None) {
            if (accept(Tok::KwWhile)) {
                s->test = DoStmt::PostWhile;
                s->cond = expr();
            } else if (accept(Tok::KwUntil)) {
                s->test = DoStmt::PostUntil;
                s->cond = expr();
            }
        }
        statementEnd();
        return s;
    }

    StmtPtr whileStmt() {
        auto s = node<WhileStmt>();
        next();
        s->cond = expr();
        endOfStatement();
        parseBlockUntil(s->body, {Tok::KwWend}, err::ExpectedWend);
        expect(Tok::KwWend, err::ExpectedWend);
        statementEnd();
        return s;
    }

    StmtPtr withStmt() {
        auto s = node<WithStmt>();
        next();
        s->object = expr();
        endOfStatement();
        parseBlockUntil(s->body, {}, err::ExpectedEnd);
        expect(Tok::KwEnd, err::ExpectedEnd);
        expect(Tok::KwWith, err::ExpectedWith);
        statementEnd();
        return s;
    }

    StmtPtr exitStmt() {
        auto s = node<ExitStmt>();
        next();
        switch (cur().kind) {
            case Tok::KwSub: s->what = ExitStmt::Sub; break;
            case Tok::KwFunction: s->what = ExitStmt::Function; break;
            case Tok::KwProperty: s->what = ExitStmt::Property; break;
            case Tok::KwFor: s->what = ExitStmt::For; break;
            case Tok::KwDo: s->what = ExitStmt::Do; break;
            default: fail(err::InvalidExit);
        }
        if (inProc_ == 0 && s->what != ExitStmt::For && s->what != ExitStmt::Do) fail(err::InvalidExit);
        next();
        statementEnd();
        return s;
    }

    StmtPtr onErrorStmt() {
        auto s = node<OnErrorStmt>();
        next();
        if (!isIdent(u"error")) fail(err::SyntaxError);
        next();
        if (accept(Tok::KwResume)) {
            if (!accept(Tok::KwNext)) fail(err::SyntaxError);
            s->resumeNext = true;
        } else if (accept(Tok::KwGoTo)) {
            if (!(at(Tok::Integer) && cur().ival == 0)) fail(err::SyntaxError);
            next();
        } else {
            fail(err::SyntaxError);
        }
        statementEnd();
        return s;
    }

    ExprPtr identExpr() {
        auto e = node<IdentExpr>();
        e->name = makeName(nameText(false));
        return e;
    }

    // Assignment or call statement.
    StmtPtr exprStatement(bool explicitCall) {
        int line = cur().line, col = cur().column;
        // "Call (New C).M()", "Call (f) (x)": the callee may be any parenthesised expression
        ExprPtr chain = explicitCall && at(Tok::LParen) ? postfixOps(primary(), false) : postfixChain(true);
        if (!explicitCall && at(Tok::Eq)) {
            next();
            if (chain->kind == ExprKind::Call) {
                auto* c = static_cast<CallExpr*>(chain.get());
                if (c->callee->kind == ExprKind::Ident &&
                    static_cast<IdentExpr*>(c->callee.get())->name.lower == u"mid" && (c->args.size() == 2 || c->args.size() == 3)) {
                    auto m = std::make_unique<MidAssignStmt>();
                    m->line = line;
                    m->column = col;
                    m->target = std::move(c->args[0]);
                    m->start = std::move(c->args[1]);
                    if (c->args.size() == 3) m->length = std::move(c->args[2]);
                    m->value = expr();
                    statementEnd();
                    return m;
                }
            }
            auto s = std::make_unique<AssignStmt>();
            s->line = line;
            s->column = col;
            s->target = std::move(chain);
            s->value = expr();
            statementEnd();
            return s;
        }
        auto s = std::make_unique<CallStmt>();
        s->line = line;
        s->column = col;
        if (explicitCall) {
            // Call f(a, b): arguments are by reference as written
            if (chain->kind != ExprKind::Call) {
                auto c = std::make_unique<CallExpr>();
                c->line = chain->line;
                c->column = chain->column;
                c->callee = std::move(chain);
                c->parens = false;
                chain = std::move(c);
            }
            s->call = std::move(chain);
            statementEnd();
            return s;
        }
        if (atSimpleEnd()) {
            if (chain->kind == ExprKind::Call) {
                auto* c = static_cast<CallExpr*>(chain.get());
                // f(x) as a statement: the parentheses belong to the argument, which is
                // therefore passed by value.
                if (c->parens && c->args.size() == 1 && c->args[0]->kind != ExprKind::Missing) {
                    auto p = std::make_unique<ParenExpr>();
                    p->line = c->args[0]->line;
                    p->column = c->args[0]->column;
                    p->inner = std::move(c->args[0]);
                    c->args[0] = std::move(p);
                }
                c->parens = false;
            } else {
                auto c = std::make_unique<CallExpr>();
                c->line = chain->line;
                c->column = chain->column;
                c->callee = std::move(chain);
                c->parens = false;
                chain = std::move(c);
            }
            s->call = std::move(chain);
            statementEnd();
            return s;
        }
        // Arguments without parentheses: f a, b   or   f (a) + 1, b
        auto call = std::make_unique<CallExpr>();
        call->line = chain->line;
        call->column = chain->column;
        call->parens = false;
        if (chain->kind == ExprKind::Call && static_cast<CallExpr*>(chain.get())->parens) {
            // "f (x), y": the parenthesised part was the first argument
            auto* c = static_cast<CallExpr*>(chain.get());
            if (c->args.size() != 1) fail(err::ParensCallingSub);
            auto p = std::make_unique<ParenExpr>();
            p->line = c->args[0]->line;
            p->column = c->args[0]->column;
            p->inner = std::move(c->args[0]);
            call->callee = std::move(c->callee);
            ExprPtr first = continueExpr(std::move(p));
            call->args.push_back(std::move(first));
            if (accept(Tok::Comma)) parseArgList(call->args);
        } else {
            call->callee = std::move(chain);
            parseArgList(call->args);
        }
        s->call = std::move(call);
        statementEnd();
        return s;
    }

    void parseArgList(std::vector<ExprPtr>& args) {
        for (;;) {
            if (at(Tok::Comma)) {
                args.push_back(node<MissingExpr>());
                next();
                continue;
            }
            if (atSimpleEnd()) {
                if (!args.empty()) args.push_back(node<MissingExpr>());
                break;
            }
            args.push_back(expr());
            if (!accept(Tok::Comma)) break;
        }
    }

    // ---- expressions
    ExprPtr expr() {
        if (++depth_ > kMaxDepth) throw SyntaxError(err::OutOfStack, cur().line, cur().column);
        ExprPtr e = parseImp();
        --depth_;
        return e;
    }

    // Resume binary parsing with an already parsed primary on the left.
    ExprPtr continueExpr(ExprPtr primary) {
        pending_ = std::move(primary);
        return expr();
    }

    ExprPtr binary(Op op, ExprPtr l, ExprPtr r, int line, int col) {
        // Left-leaning operator chains nest as deep as they are long; keep them bounded.
        if (++ops_ > kMaxOperators) throw SyntaxError(err::OutOfStack, line, col);
        auto b = std::make_unique<BinaryExpr>();
        b->line = line;
        b->column = col;
        b->op = op;
        b->lhsLiteral = l->kind == ExprKind::Literal;
        b->rhsLiteral = r->kind == ExprKind::Literal;
        b->lhs = std::move(l);
        b->rhs = std::move(r);
        return b;
    }

    ExprPtr parseImp() {
        ExprPtr l = parseEqv();
        while (at(Tok::KwImp)) {
            int ln = cur().line, c = cur().column;
            next();
            l = binary(Op::Imp, std::move(l), parseEqv(), ln, c);
        }
        return l;
    }
    ExprPtr parseEqv() {
        ExprPtr l = parseXor();
        while (at(Tok::KwEqv)) {
            int ln = cur().line, c = cur().column;
            next();
            l = binary(Op::Eqv, std::move(l), parseXor(), ln, c);
        }
        return l;
    }
    ExprPtr parseXor() {
        ExprPtr l = parseOr();
        while (at(Tok::KwXor)) {
            int ln = cur().line, c = cur().column;
            next();
            l = binary(Op::Xor, std::move(l), parseOr(), ln, c);
        }
        return l;
    }
    ExprPtr parseOr() {
        ExprPtr l = parseAnd();
        while (at(Tok::KwOr)) {
            int ln = cur().line, c = cur().column;
            next();
            l = binary(Op::Or, std::move(l), parseAnd(), ln, c);
        }
        return l;
    }
    ExprPtr parseAnd() {
        ExprPtr l = parseNot();
        while (at(Tok::KwAnd)) {
            int ln = cur().line, c = cur().column;
            next();
            l = binary(Op::And, std::move(l), parseNot(), ln, c);
        }
        return l;
    }
    ExprPtr parseNot() {
        if (!pending_ && at(Tok::KwNot)) {
            auto u = node<UnaryExpr>();
            next();
            if (++depth_ > kMaxDepth) throw SyntaxError(err::OutOfStack, cur().line, cur().column);
            u->op = Op::Not;
            u->operand = parseNot();
            --depth_;
            return u;
        }
        return parseCompare();
    }
    ExprPtr parseCompare() {
        ExprPtr l = parseConcat();
        for (;;) {
            Op op;
            switch (cur().kind) {
                case Tok::Eq: op = Op::Eq; break;
                case Tok::Ne: op = Op::Ne; break;
                case Tok::Lt: op = Op::Lt; break;
                case Tok::Gt: op = Op::Gt; break;
                case Tok::Le: op = Op::Le; break;
                case Tok::Ge: op = Op::Ge; break;
                case Tok::KwIs: op = Op::Is; break;
                default: return l;
            }
            int ln = cur().line, c = cur().column;
            next();
            // "=<" and "=>" are accepted as <= and >=
            if (op == Op::Eq && at(Tok::Lt)) { op = Op::Le; next(); }
            else if (op == Op::Eq && at(Tok::Gt)) { op = Op::Ge; next(); }
            l = binary(op, std::move(l), parseConcat(), ln, c);
        }
    }
    ExprPtr parseConcat() {
        ExprPtr l = parseAdd();
        while (at(Tok::Amp)) {
            int ln = cur().line, c = cur().column;
            next();
            l = binary(Op::Concat, std::move(l), parseAdd(), ln, c);
        }
        return l;
    }
    ExprPtr parseAdd() {
        ExprPtr l = parseMod();
        while (at(Tok::Plus) || at(Tok::Minus)) {
            Op op = at(Tok::Plus) ? Op::Add : Op::Sub;
            int ln = cur().line, c = cur().column;
            next();
            l = binary(op, std::move(l), parseMod(), ln, c);
        }
        return l;
    }
    ExprPtr parseMod() {
        ExprPtr l = parseIntDiv();
        while (at(Tok::KwMod)) {
            int ln = cur().line, c = cur().column;
            next();
            l = binary(Op::Mod, std::move(l), parseIntDiv(), ln, c);
        }
        return l;
    }
    ExprPtr parseIntDiv() {
        ExprPtr l = parseMul();
        while (at(Tok::Backslash)) {
            int ln = cur().line, c = cur().column;
            next();
            l = binary(Op::IntDiv, std::move(l), parseMul(), ln, c);
        }
        return l;
    }
    ExprPtr parseMul() {
        ExprPtr l = parsePow();
        while (at(Tok::Star) || at(Tok::Slash)) {
            Op op = at(Tok::Star) ? Op::Mul : Op::Div;
            int ln = cur().line, c = cur().column;
            next();
            l = binary(op, std::move(l), parsePow(), ln, c);
        }
        return l;
    }
    // Unary minus binds tighter than ^: -3^2 is 9. -32768 is the Long 32768 negated, a Long.
    ExprPtr parsePow() {
        ExprPtr l = parseSigned();
        while (at(Tok::Caret)) {
            int ln = cur().line, c = cur().column;
            next();
            l = binary(Op::Pow, std::move(l), parseSigned(), ln, c);
        }
        return l;
    }
    ExprPtr parseSigned() {
        if (!pending_ && (at(Tok::Minus) || at(Tok::Plus))) {
            bool neg = at(Tok::Minus);
            auto u = node<UnaryExpr>();
            next();
            if (++depth_ > kMaxDepth) throw SyntaxError(err::OutOfStack, cur().line, cur().column);
            ExprPtr operand = parseSigned();
            --depth_;
            if (!neg) return operand;
            u->op = Op::Neg;
            u->operand = std::move(operand);
            return u;
        }
        return postfix();
    }

    ExprPtr postfix() {
        if (pending_) return std::move(pending_);
        switch (cur().kind) {
            case Tok::Ident: case Tok::KwMe: case Tok::Dot: case Tok::KwStep: case Tok::KwProperty:
                return postfixChain(false);
            default: break;
        }
        ExprPtr e = primary();
        return postfixOps(std::move(e), false);
    }

    ExprPtr primary() {
        const Token& t = cur();
        auto lit = [&](Variant v) {
            auto l = node<LiteralExpr>();
            l->value = std::move(v);
            next();
            return l;
        };
        switch (t.kind) {
            case Tok::Integer: {
                int64_t v = t.ival;
                if (v >= -32768 && v <= 32767 && !t.longLiteral) return lit(Variant(static_cast<int16_t>(v)));
                return lit(Variant(static_cast<int32_t>(v)));
            }
            case Tok::Float: return lit(Variant(t.fval));
            case Tok::String: return lit(Variant(t.text));
            case Tok::Date: return lit(Variant::date(t.fval));
            case Tok::KwTrue: return lit(Variant(true));
            case Tok::KwFalse: return lit(Variant(false));
            case Tok::KwEmpty: return lit(Variant());
            case Tok::KwNull: return lit(Variant::null());
            case Tok::KwNothing: return lit(Variant::nothing());
            case Tok::LParen: {
                auto p = node<ParenExpr>();
                next();
                p->inner = expr();
                expect(Tok::RParen, err::ExpectedRParen);
                return p;
            }
            case Tok::KwNew: {
                auto n = node<NewExpr>();
                next();
                n->className = makeName(nameText(false));
                return n;
            }
            default: fail(err::ExpectedExpression);
        }
    }

    // name, Me, .name (With) followed by member access and calls.
    ExprPtr postfixChain(bool statementHead) {
        ExprPtr e;
        if (at(Tok::KwMe)) {
            e = node<MeExpr>();
            next();
        } else if (at(Tok::Dot)) {
            auto m = node<MemberExpr>();
            next();
            m->name = makeName(nameText(true));
            e = std::move(m);
        } else if (atNameToken(false)) {
            e = identExpr();
        } else {
            fail(statementHead ? err::ExpectedStatement : err::ExpectedExpression);
        }
        return postfixOps(std::move(e), statementHead);
    }

    ExprPtr postfixOps(ExprPtr e, bool statementHead) {
        for (;;) {
            // "Out .N" inside With: a spaced dot starts a new operand
            if (at(Tok::Dot) && !cur().spaceBefore) {
                auto m = node<MemberExpr>();
                next();
                m->name = makeName(nameText(true));
                m->object = std::move(e);
                e = std::move(m);
                continue;
            }
            if (at(Tok::LParen)) {
                bool spaced = cur().spaceBefore;
                auto c = node<CallExpr>();
                next();
                c->spacedParens = spaced && statementHead;
                if (!accept(Tok::RParen)) {
                    for (;;) {
                        if (at(Tok::Comma)) {
                            c->args.push_back(node<MissingExpr>());
                            next();
                            continue;
                        }
                        if (at(Tok::RParen)) {
                            c->args.push_back(node<MissingExpr>());
                            next();
                            break;
                        }
                        c->args.push_back(expr());
                        if (accept(Tok::Comma)) continue;
                        expect(Tok::RParen, err::ExpectedRParen);
                        break;
                    }
                }
                c->callee = std::move(e);
                e = std::move(c);
                if (spaced && statementHead) {
                    // "f (x) ..." may be an argument; let the statement decide
                    if (!at(Tok::Dot) && !at(Tok::LParen)) return e;
                    static_cast<CallExpr*>(e.get())->spacedParens = false;
                }
                continue;
            }
            return e;
        }
    }

    std::vector<Token> toks_;
    size_t pos_ = 0;
    std::unique_ptr<Program> prog_;
    ExprPtr pending_;
    int depth_ = 0;
    int inProc_ = 0;
    int singleLine_ = 0;
    int ops_ = 0;
};

}  // namespace

std::unique_ptr<Program> parseProgram(std::u16string_view source) { return Parser(source).program(); }
std::unique_ptr<Program> parseExpression(std::u16string_view source) { return Parser(source).expression(); }

}  // namespace vk::vbs
