#include "platform/gui/FormLoader.h"

#include "platform/gui/Align.h"
#include "platform/gui/Component.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QIcon>
#include <QImage>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QPixmap>
#include <QWidget>

#include <exception>

namespace platform {

void FormLoader::registerClass(const QString &className, Factory factory)
{
    m_factories.insert(className, std::move(factory));
}

// ---------------------------------------------------------------------------
// Tokens and values

namespace {

struct Token
{
    enum Kind { End, Ident, Int, String, Punct } kind = End;
    QString text;
    qint64 number = 0;
    int line = 0;
};

class Lexer
{
public:
    explicit Lexer(const QString &text) : m_text(text) {}

    Token next()
    {
        skipBlanks();
        Token t;
        t.line = m_line;
        if (m_pos >= m_text.size())
            return t;
        const QChar c = m_text.at(m_pos);
        if (c.isLetter() || c == '_') {
            const int start = m_pos;
            while (m_pos < m_text.size() && (m_text.at(m_pos).isLetterOrNumber() || m_text.at(m_pos) == '_'))
                ++m_pos;
            t.kind = Token::Ident;
            t.text = m_text.mid(start, m_pos - start);
        } else if (c.isDigit() || (c == '-' && m_pos + 1 < m_text.size() && m_text.at(m_pos + 1).isDigit())) {
            const int start = m_pos++;
            while (m_pos < m_text.size() && (m_text.at(m_pos).isLetterOrNumber()))
                ++m_pos;
            t.kind = Token::Int;
            t.text = m_text.mid(start, m_pos - start);
            bool ok = false;
            t.number = t.text.toLongLong(&ok, 0);
            if (!ok)
                throw FormError(QStringLiteral("line %1: bad number %2").arg(m_line).arg(t.text));
        } else if (c == '"') {
            t.kind = Token::String;
            ++m_pos;
            for (;;) {
                if (m_pos >= m_text.size() || m_text.at(m_pos) == '\n')
                    throw FormError(QStringLiteral("line %1: unterminated string").arg(t.line));
                if (m_text.at(m_pos) == '"') {
                    if (m_pos + 1 < m_text.size() && m_text.at(m_pos + 1) == '"') {
                        t.text += '"';
                        m_pos += 2;
                        continue;
                    }
                    ++m_pos;
                    break;
                }
                t.text += m_text.at(m_pos++);
            }
        } else {
            t.kind = Token::Punct;
            t.text = c;
            ++m_pos;
        }
        return t;
    }

private:
    void skipBlanks()
    {
        while (m_pos < m_text.size()) {
            const QChar c = m_text.at(m_pos);
            if (c == '\n') {
                ++m_line;
                ++m_pos;
            } else if (c.isSpace() || c == ';') {
                ++m_pos;
            } else if (c == '#') {
                while (m_pos < m_text.size() && m_text.at(m_pos) != '\n')
                    ++m_pos;
            } else {
                break;
            }
        }
    }

    QString m_text;
    int m_pos = 0;
    int m_line = 1;
};

struct Value;
struct Item
{
    QList<QPair<QString, Value>> properties;
    int line = 0;
};

struct Value
{
    enum Kind { Int, String, Ident, Call, Items } kind = Int;
    qint64 number = 0;
    QString text;      // string, identifier or function name
    QList<Value> args; // call arguments
    QList<Item> items; // collection items
    int line = 0;
};

} // namespace

// ---------------------------------------------------------------------------
// Reader: parses and applies in one pass, so that setters run in stored order.

class FormReader
{
public:
    FormReader(const FormLoader &loader, QObject *root, const QString &text, const QString &baseDir)
        : m_loader(loader), m_root(root), m_lexer(text), m_baseDir(baseDir)
    {
        advance();
    }

    void run()
    {
        const int line = m_tok.line;
        expectIdent("object");
        const QString name = takeIdent();
        expectPunct(":");
        const QString className = takeIdent();
        if (!m_root->inherits(className.toLatin1().constData()) && m_root->metaObject()->className() != className)
            fail(QStringLiteral("the root object is not a %1").arg(className));
        m_root->setObjectName(name);
        adopt(m_root, line);
        readBody(m_root);
        if (m_tok.kind != Token::End)
            fail(QStringLiteral("text after the end of the root object"));
        finish();
    }

private:
    struct Fixup
    {
        QObject *object;
        QMetaProperty property;
        QString target;
        int line;
    };

    // -- parsing helpers
    void advance() { m_tok = m_lexer.next(); }
    [[noreturn]] void fail(const QString &what) const
    {
        throw FormError(QStringLiteral("line %1: %2").arg(m_tok.line).arg(what));
    }
    bool isPunct(const char *p) const { return m_tok.kind == Token::Punct && m_tok.text == QLatin1String(p); }
    void expectPunct(const char *p)
    {
        if (!isPunct(p))
            fail(QStringLiteral("expected '%1'").arg(QLatin1String(p)));
        advance();
    }
    void expectIdent(const char *word)
    {
        if (m_tok.kind != Token::Ident || m_tok.text != QLatin1String(word))
            fail(QStringLiteral("expected '%1'").arg(QLatin1String(word)));
        advance();
    }
    QString takeIdent()
    {
        if (m_tok.kind != Token::Ident)
            fail(QStringLiteral("expected a name"));
        const QString s = m_tok.text;
        advance();
        return s;
    }

    Value readValue()
    {
        Value v;
        v.line = m_tok.line;
        switch (m_tok.kind) {
        case Token::Int:
            v.kind = Value::Int;
            v.number = m_tok.number;
            advance();
            return v;
        case Token::String:
            v.kind = Value::String;
            v.text = m_tok.text;
            advance();
            return v;
        case Token::Ident:
            v.text = takeIdent();
            if (isPunct("(")) {
                v.kind = Value::Call;
                advance();
                while (!isPunct(")")) {
                    v.args.append(readValue());
                    if (isPunct(","))
                        advance();
                    else if (!isPunct(")"))
                        fail(QStringLiteral("expected ',' or ')'"));
                }
                advance();
            } else {
                v.kind = Value::Ident;
            }
            return v;
        case Token::Punct:
            if (isPunct("[")) {
                advance();
                v.kind = Value::Items;
                while (!isPunct("]")) {
                    expectIdent("item");
                    Item item;
                    item.line = m_tok.line;
                    expectPunct("{");
                    while (!isPunct("}")) {
                        const QString name = takeIdent();
                        expectPunct("=");
                        item.properties.append({name, readValue()});
                    }
                    advance();
                    v.items.append(item);
                }
                advance();
                return v;
            }
            break;
        case Token::End:
            break;
        }
        fail(QStringLiteral("expected a value"));
    }

    void readBody(QObject *object)
    {
        expectPunct("{");
        while (!isPunct("}")) {
            if (m_tok.kind == Token::End)
                fail(QStringLiteral("missing '}'"));
            if (m_tok.kind == Token::Ident && m_tok.text == QLatin1String("object")) {
                readChild(object);
                continue;
            }
            const int line = m_tok.line;
            const QString name = takeIdent();
            expectPunct("=");
            const Value value = readValue();
            assign(object, name, value, line);
        }
        advance();
    }

    void readChild(QObject *parent)
    {
        const int line = m_tok.line;
        advance();
        const QString name = takeIdent();
        expectPunct(":");
        const QString className = takeIdent();
        const auto factory = m_loader.m_factories.constFind(className);
        if (factory == m_loader.m_factories.constEnd())
            fail(QStringLiteral("class %1 is not registered").arg(className));
        QObject *child = nullptr;
        guarded(line, name, [&] { child = (*factory)(parent); });
        if (!child)
            fail(QStringLiteral("class %1 could not be created").arg(className));
        child->setObjectName(name);
        adopt(child, line);
        readBody(child);
    }

    void adopt(QObject *object, int line)
    {
        m_created.append({object, line});
        if (Component *c = asComponent(object))
            c->beginLoading();
    }

    // -- applying values
    [[noreturn]] static void failAt(int line, const QString &what)
    {
        throw FormError(QStringLiteral("line %1: %2").arg(line).arg(what));
    }

    // Setters, constructors and loaded() run the components' own code, which
    // may throw anything (a theme file that cannot be read, a value out of
    // range). Callers of the loader catch FormError only, so such an error
    // becomes one that names the line and what was being applied there.
    template <typename Apply>
    static void guarded(int line, const QString &what, Apply &&apply)
    {
        try {
            apply();
        } catch (const FormError &) {
            throw;
        } catch (const std::exception &error) {
            failAt(line, QStringLiteral("%1: %2").arg(what, QString::fromUtf8(error.what())));
        } catch (...) {
            failAt(line, QStringLiteral("%1: an error of unknown kind").arg(what));
        }
    }

    static QString nameOf(const QObject *object)
    {
        const QString name = object->objectName();
        return name.isEmpty() ? QLatin1String(object->metaObject()->className()) : name;
    }

    void assign(QObject *object, const QString &name, const Value &value, int line)
    {
        guarded(line, nameOf(object) + QLatin1Char('.') + name, [&] { assignProperty(object, name, value, line); });
    }

    void assignProperty(QObject *object, const QString &name, const Value &value, int line)
    {
        const QMetaObject *meta = object->metaObject();
        const int index = meta->indexOfProperty(name.toLatin1().constData());
        if (index >= 0) {
            writeProperty(object, meta->property(index), value, line);
            return;
        }
        if (name.startsWith(QLatin1String("On")) && bindEvent(object, name, value, line))
            return;
        if (auto *widget = qobject_cast<QWidget *>(object);
            widget && assignFrameworkProperty(widget, name, value, line))
            return;
        failAt(line, QStringLiteral("%1 has no property %2").arg(QLatin1String(meta->className()), name));
    }

    bool bindEvent(QObject *object, const QString &event, const Value &value, int line)
    {
        const QMetaObject *meta = object->metaObject();
        QMetaMethod signal;
        for (int i = 0; i < meta->methodCount(); ++i) {
            const QMetaMethod m = meta->method(i);
            if (m.methodType() == QMetaMethod::Signal && m.name() == event.toLatin1()) {
                signal = m;
                break;
            }
        }
        if (!signal.isValid())
            return false;
        if (value.kind != Value::Ident)
            failAt(line, QStringLiteral("event %1 needs a handler name").arg(event));
        const QMetaObject *rootMeta = m_root->metaObject();
        for (int i = 0; i < rootMeta->methodCount(); ++i) {
            const QMetaMethod handler = rootMeta->method(i);
            if (handler.name() != value.text.toLatin1() || handler.parameterCount() > signal.parameterCount())
                continue;
            if (QObject::connect(object, signal, m_root, handler))
                return true;
        }
        failAt(line, QStringLiteral("no handler %1 fits event %2").arg(value.text, event));
    }

    bool assignFrameworkProperty(QWidget *w, const QString &name, const Value &v, int line)
    {
        auto number = [&] {
            if (v.kind != Value::Int)
                failAt(line, QStringLiteral("%1 needs a number").arg(name));
            return int(v.number);
        };
        auto boolean = [&] { return toBool(v, line); };
        if (name == QLatin1String("Left"))
            w->move(number(), w->y());
        else if (name == QLatin1String("Top"))
            w->move(w->x(), number());
        else if (name == QLatin1String("Width"))
            w->resize(number(), w->height());
        else if (name == QLatin1String("Height"))
            w->resize(w->width(), number());
        else if (name == QLatin1String("ClientWidth"))
            w->resize(number() + w->contentsMargins().left() + w->contentsMargins().right(), w->height());
        else if (name == QLatin1String("ClientHeight"))
            w->resize(w->width(), number() + w->contentsMargins().top() + w->contentsMargins().bottom());
        else if (name == QLatin1String("MinWidth"))
            w->setMinimumWidth(number());
        else if (name == QLatin1String("MinHeight"))
            w->setMinimumHeight(number());
        else if (name == QLatin1String("Visible"))
            w->setVisible(boolean());
        else if (name == QLatin1String("Enabled"))
            w->setEnabled(boolean());
        else if (name == QLatin1String("Hint"))
            w->setToolTip(toText(v, line));
        else if (name == QLatin1String("ShowHint"))
            w->setProperty("ShowHint", boolean()); // read by the children whose ParentShowHint is on
        else if (name == QLatin1String("TabOrder"))
            m_tabOrders.append({w, number()});
        else if (name == QLatin1String("Align"))
            setAlign(w, TAlign(enumValue(QMetaEnum::fromType<TAlign>(), v, line)));
        else if (name == QLatin1String("Caption") || name == QLatin1String("Text")) {
            const int text = w->metaObject()->indexOfProperty("text");
            if (text >= 0)
                w->metaObject()->property(text).write(w, toText(v, line));
            else if (name == QLatin1String("Caption"))
                w->setWindowTitle(toText(v, line));
            else
                return false;
        } else if (name == QLatin1String("Font"))
            w->setFont(toFont(v, line));
        else
            return false;
        return true;
    }

    void writeProperty(QObject *object, const QMetaProperty &property, const Value &v, int line)
    {
        const QMetaType type = property.metaType();
        QVariant value;
        if (v.kind == Value::Items) {
            fillCollection(object, property, v, line);
            return;
        }
        if (property.isEnumType()) {
            value = enumValue(property.enumerator(), v, line);
        } else if (type.flags() & QMetaType::PointerToQObject) {
            if (v.kind != Value::Ident)
                failAt(line, QStringLiteral("%1 needs an object name").arg(QLatin1String(property.name())));
            m_fixups.append({object, property, v.text, line});
            return;
        } else {
            value = toVariant(type, v, line);
            if (!value.isValid())
                failAt(line, QStringLiteral("cannot store a number in %1").arg(QLatin1String(property.name())));
        }
        if (!property.write(object, value))
            failAt(line, QStringLiteral("%1 refused the value").arg(QLatin1String(property.name())));
    }

    void fillCollection(QObject *object, const QMetaProperty &property, const Value &v, int line)
    {
        auto *collection = property.read(object).value<QObject *>();
        if (!collection)
            failAt(line, QStringLiteral("%1 is not a collection").arg(QLatin1String(property.name())));
        // A stored collection replaces the items the object made for itself.
        if (collection->metaObject()->indexOfMethod("clear()") >= 0)
            QMetaObject::invokeMethod(collection, "clear", Qt::DirectConnection);
        for (const Item &item : v.items) {
            QObject *element = nullptr;
            if (!QMetaObject::invokeMethod(collection, "add", Qt::DirectConnection, Q_RETURN_ARG(QObject *, element))
                || !element)
                failAt(item.line, QStringLiteral("%1 takes no items").arg(QLatin1String(property.name())));
            for (const auto &[name, value] : item.properties)
                assign(element, name, value, value.line);
        }
    }

    // -- conversions
    // The value as a property of type takes it; invalid when a number does
    // not convert to type.
    QVariant toVariant(const QMetaType &type, const Value &v, int line) const
    {
        switch (type.id()) {
        case QMetaType::Bool:
            return toBool(v, line);
        case QMetaType::QString:
            return toText(v, line);
        case QMetaType::QFont:
            return toFont(v, line);
        case QMetaType::QImage:
            return toImage(v, line);
        case QMetaType::QPixmap:
            return QPixmap::fromImage(toImage(v, line));
        case QMetaType::QIcon:
            return QIcon(QPixmap::fromImage(toImage(v, line)));
        default:
            QVariant number = toNumber(v, line);
            return number.convert(type) ? number : QVariant();
        }
    }

    qint64 toNumber(const Value &v, int line) const
    {
        if (v.kind == Value::Int)
            return v.number;
        if (v.kind == Value::Ident) {
            const auto c = m_loader.m_constants.constFind(v.text);
            if (c != m_loader.m_constants.constEnd())
                return *c;
        }
        failAt(line, QStringLiteral("expected a number"));
    }

    static bool toBool(const Value &v, int line)
    {
        if (v.kind == Value::Ident && (v.text == QLatin1String("true") || v.text == QLatin1String("false")))
            return v.text == QLatin1String("true");
        failAt(line, QStringLiteral("expected true or false"));
    }

    static QString toText(const Value &v, int line)
    {
        if (v.kind == Value::String)
            return v.text;
        failAt(line, QStringLiteral("expected a quoted text"));
    }

    static int enumValue(const QMetaEnum &meta, const Value &v, int line)
    {
        if (v.kind == Value::Int)
            return int(v.number);
        bool ok = false;
        const int value = v.kind == Value::Ident ? meta.keyToValue(v.text.toLatin1().constData(), &ok) : 0;
        if (!ok)
            failAt(line, QStringLiteral("%1 is not a %2").arg(v.text, QLatin1String(meta.name())));
        return value;
    }

    static QFont toFont(const Value &v, int line)
    {
        if (v.kind != Value::Call || v.text != QLatin1String("font") || v.args.isEmpty())
            failAt(line, QStringLiteral("expected font(family, pixel height, styles...)"));
        QFont font(toText(v.args.at(0), line));
        for (int i = 1; i < v.args.size(); ++i) {
            const Value &a = v.args.at(i);
            if (a.kind == Value::Int && i == 1)
                font.setPixelSize(int(a.number));
            else if (a.kind == Value::Ident && a.text == QLatin1String("bold"))
                font.setBold(true);
            else if (a.kind == Value::Ident && a.text == QLatin1String("italic"))
                font.setItalic(true);
            else if (a.kind == Value::Ident && a.text == QLatin1String("underline"))
                font.setUnderline(true);
            else
                failAt(line, QStringLiteral("unknown font argument"));
        }
        return font;
    }

    QImage toImage(const Value &v, int line) const
    {
        if (v.kind != Value::Call || v.text != QLatin1String("picture") || v.args.size() != 1)
            failAt(line, QStringLiteral("expected picture(\"file\")"));
        const QString path = QDir(m_baseDir).filePath(toText(v.args.at(0), line));
        QImage image(path);
        if (image.isNull())
            failAt(line, QStringLiteral("cannot read picture %1").arg(path));
        return image;
    }

    // -- the end of loading
    void finish()
    {
        for (const Fixup &f : std::as_const(m_fixups)) {
            QObject *target = m_root->objectName() == f.target ? m_root : nullptr;
            for (const Created &created : std::as_const(m_created)) {
                if (!target && created.object->objectName() == f.target)
                    target = created.object;
            }
            if (!target)
                failAt(f.line, QStringLiteral("no object named %1").arg(f.target));
            QVariant value = QVariant::fromValue(target);
            bool written = false;
            guarded(f.line, nameOf(f.object) + QLatin1Char('.') + QLatin1String(f.property.name()),
                    [&] { written = value.convert(f.property.metaType()) && f.property.write(f.object, value); });
            if (!written)
                failAt(f.line, QStringLiteral("%1 cannot refer to %2").arg(QLatin1String(f.property.name()), f.target));
        }
        applyTabOrders();
        for (const Created &created : std::as_const(m_created)) {
            if (Component *c = asComponent(created.object))
                guarded(created.line, nameOf(created.object), [c] { c->loaded(); });
        }
    }

    void applyTabOrders()
    {
        std::stable_sort(m_tabOrders.begin(), m_tabOrders.end(), [](const auto &a, const auto &b) {
            if (a.first->parentWidget() != b.first->parentWidget())
                return a.first->parentWidget() < b.first->parentWidget();
            return a.second < b.second;
        });
        for (int i = 1; i < m_tabOrders.size(); ++i) {
            if (m_tabOrders[i].first->parentWidget() == m_tabOrders[i - 1].first->parentWidget())
                QWidget::setTabOrder(m_tabOrders[i - 1].first, m_tabOrders[i].first);
        }
    }

    const FormLoader &m_loader;
    QObject *m_root;
    Lexer m_lexer;
    QString m_baseDir;
    Token m_tok;
    // Every object the description made or filled, with the line that
    // declares it, in creation order.
    struct Created
    {
        QObject *object;
        int line;
    };
    QList<Created> m_created;
    QList<Fixup> m_fixups;
    QList<QPair<QWidget *, int>> m_tabOrders;
};

void FormLoader::load(QObject *root, const QString &fileName) const
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw FormError(QStringLiteral("cannot open form description %1").arg(fileName));
    loadFromText(root, file.readAll(), QFileInfo(fileName).absolutePath());
}

void FormLoader::loadFromText(QObject *root, const QByteArray &text, const QString &baseDir) const
{
    FormReader(*this, root, QString::fromUtf8(text), baseDir).run();
}

} // namespace platform
