#include "platform/gui/FormLoader.h"
#include "platform/gui/Align.h"
#include "platform/gui/Component.h"

#include <QLineEdit>
#include <QPointer>
#include <gtest/gtest.h>

#include <stdexcept>

using namespace platform;

namespace {

class Probe;
class Collection : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    Q_INVOKABLE QObject *add();
    std::vector<std::unique_ptr<Probe>> owned;
};

class Probe : public QWidget, public Component
{
    Q_OBJECT
    Q_PROPERTY(int Size READ size WRITE setSize)
    Q_PROPERTY(Mood Mood READ mood WRITE setMood)
    Q_PROPERTY(QString Caption READ caption WRITE setCaption)
    Q_PROPERTY(bool Flag READ flag WRITE setFlag)
    Q_PROPERTY(Probe *Buddy READ buddy WRITE setBuddy)
    Q_PROPERTY(QObject *Items READ items)
    Q_PROPERTY(int Strict READ strict WRITE setStrict)
    Q_PROPERTY(bool FailWhenLoaded READ failWhenLoaded WRITE setFailWhenLoaded)
public:
    enum Mood { Calm, Angry };
    Q_ENUM(Mood)

    explicit Probe(QWidget *parent = nullptr) : QWidget(parent), m_items(new Collection(this)) {}

    int size() const { return m_size; }
    void setSize(int v)
    {
        m_size = v;
        log << QStringLiteral("Size%1").arg(isLoading() ? "*" : "");
    }
    Mood mood() const { return m_mood; }
    void setMood(Mood v)
    {
        m_mood = v;
        log << QStringLiteral("Mood");
    }
    QString caption() const { return m_caption; }
    void setCaption(const QString &v) { m_caption = v; }
    bool flag() const { return m_flag; }
    void setFlag(bool v) { m_flag = v; }
    Probe *buddy() const { return m_buddy; }
    void setBuddy(Probe *p)
    {
        if (p && p->objectName() == QLatin1String("grumpy"))
            throw std::invalid_argument("grumpy is nobody's buddy");
        m_buddy = p;
    }
    // Throws as a setter that checks its value would; 99 throws no
    // std::exception at all.
    int strict() const { return m_strict; }
    void setStrict(int v)
    {
        if (v == 99)
            throw 99;
        if (v < 0)
            throw std::out_of_range("Strict must not be negative");
        m_strict = v;
    }
    bool failWhenLoaded() const { return m_failWhenLoaded; }
    void setFailWhenLoaded(bool v) { m_failWhenLoaded = v; }
    QObject *items() const { return m_items; }

    void loaded() override
    {
        Component::loaded();
        log << QStringLiteral("loaded");
        if (m_failWhenLoaded)
            throw std::runtime_error("the picture went missing");
    }

    QStringList log;

signals:
    void OnPoke(QObject *Sender);

public slots:
    void pokeHandler(QObject *Sender) { poked = Sender; }

public:
    QObject *poked = nullptr;

private:
    int m_size = 0;
    Mood m_mood = Calm;
    QString m_caption;
    bool m_flag = false;
    QPointer<Probe> m_buddy;
    int m_strict = 0;
    bool m_failWhenLoaded = false;
    Collection *m_items;
};

QObject *Collection::add()
{
    owned.push_back(std::make_unique<Probe>());
    return owned.back().get();
}

FormLoader makeLoader()
{
    FormLoader loader;
    loader.registerClass<Probe>("Probe");
    loader.registerClass<QLineEdit>("TEdit");
    loader.registerConstant("clRed", 0xFF);
    loader.registerClass("Broken", [](QObject *) -> QObject * { throw std::runtime_error("out of handles"); });
    return loader;
}

void load(QObject *root, const char *text)
{
    makeLoader().loadFromText(root, text, ":/");
}

} // namespace

TEST(FormLoader, SetsPropertiesInStoredOrderWhileLoadingThenCallsLoaded)
{
    Probe root;
    load(&root, R"(
        object Main : Probe {
            Mood = Angry     # enumerator by name
            Size = clRed
            Caption = "c:\html ""quoted"""
            Flag = true
        })");
    EXPECT_EQ(root.objectName(), "Main");
    EXPECT_EQ(root.mood(), Probe::Angry);
    EXPECT_EQ(root.size(), 0xFF);
    EXPECT_EQ(root.caption(), "c:\\html \"quoted\"");
    EXPECT_TRUE(root.flag());
    EXPECT_EQ(root.log, QStringList({"Mood", "Size*", "loaded"}));
    EXPECT_FALSE(root.isLoading());
}

TEST(FormLoader, CreatesNestedObjectsBindsEventsAndResolvesLaterReferences)
{
    Probe root;
    load(&root, R"(
        object Main : Probe {
            object first : Probe {
                Buddy = second
                OnPoke = pokeHandler
                Left = 5  Top = 6  Width = 70  Height = 20
            }
            object second : Probe { TabOrder = 0 }
            object edit : TEdit { Text = "*.xls"  Enabled = false }
        })");
    auto *first = root.findChild<Probe *>("first");
    auto *second = root.findChild<Probe *>("second");
    auto *edit = root.findChild<QLineEdit *>("edit");
    ASSERT_TRUE(first && second && edit);
    EXPECT_EQ(first->parentWidget(), &root);
    EXPECT_EQ(first->buddy(), second);
    EXPECT_EQ(first->geometry(), QRect(5, 6, 70, 20));
    EXPECT_EQ(edit->text(), "*.xls");
    EXPECT_FALSE(edit->isEnabled());
    emit first->OnPoke(first);
    EXPECT_EQ(root.poked, first);
    EXPECT_EQ(first->log.last(), "loaded");
}

TEST(FormLoader, FillsCollectionsItemByItem)
{
    Probe root;
    load(&root, R"(
        object Main : Probe {
            Items = [
                item { Size = 1 }
                item { Size = 2  Mood = Angry }
            ]
        })");
    auto *collection = static_cast<Collection *>(root.items());
    ASSERT_EQ(collection->owned.size(), 2u);
    EXPECT_EQ(collection->owned[0]->size(), 1);
    EXPECT_EQ(collection->owned[1]->mood(), Probe::Angry);
}

TEST(FormLoader, ReportsTheLineOfWhatItCannotApply)
{
    const char *bad[] = {
        "object Main : Probe {\n  Nope = 1\n}",
        "object Main : Probe {\n\n  Mood = Sulky\n}",
        "object Main : Probe {\n  object x : Unknown {}\n}",
        "object Main : Probe {\n  Buddy = nobody\n}",
        "object Main : Probe {\n  Caption = \"open\n}",
        "object Main : Probe {\n  OnPoke = noSuchHandler\n}",
        "object Main : Other {}",
        "object Main : Probe { Size = 1 ",
    };
    for (const char *text : bad) {
        Probe root;
        try {
            load(&root, text);
            ADD_FAILURE() << "accepted: " << text;
        } catch (const FormError &e) {
            EXPECT_TRUE(QString(e.what()).startsWith("line ")) << e.what();
        }
    }
    Probe root;
    try {
        load(&root, "object Main : Probe {\n\n  Mood = Sulky\n}");
    } catch (const FormError &e) {
        EXPECT_TRUE(QString(e.what()).startsWith("line 3:")) << e.what();
    }
}

TEST(FormLoader, ReportsWhatTheComponentsThrowAsAFormErrorAtTheLine)
{
    // What a setter, a constructor or loaded() throws reaches the caller as a
    // FormError naming the line, the object and the property, with the
    // component's own words.
    const struct
    {
        const char *text;
        const char *message;
    } cases[] = {
        {"object Main : Probe {\n  Size = 1\n  Strict = -1\n}", "line 3: Main.Strict: Strict must not be negative"},
        {"object Main : Probe {\n  object inner : Probe {\n    Strict = 99\n  }\n}",
         "line 3: inner.Strict: an error of unknown kind"},
        {"object Main : Probe {\n  Items = [\n    item { Size = 1 }\n    item {\n      Strict = -5\n    }\n  ]\n}",
         "line 5: Probe.Strict: Strict must not be negative"},
        {"object Main : Probe {\n  object a : Probe {\n    Buddy = grumpy\n  }\n  object grumpy : Probe {}\n}",
         "line 3: a.Buddy: grumpy is nobody's buddy"},
        {"object Main : Probe {\n\n  object b : Broken {}\n}", "line 3: b: out of handles"},
        {"object Main : Probe {\n  object c : Probe {\n    FailWhenLoaded = true\n  }\n}",
         "line 2: c: the picture went missing"},
    };
    for (const auto &c : cases) {
        Probe root;
        try {
            load(&root, c.text);
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const FormError &e) {
            EXPECT_EQ(QString::fromUtf8(e.what()), QLatin1String(c.message)) << c.text;
        } catch (...) {
            ADD_FAILURE() << "not a FormError: " << c.text;
        }
    }
}

TEST(Align, StacksEdgesInOrderOfPositionAndFillsTheRest)
{
    QWidget parent;
    parent.resize(300, 200);
    auto *banner = new QWidget(&parent);
    auto *options = new QWidget(&parent);
    auto *tree = new QWidget(&parent);
    auto *log = new QWidget(&parent);
    auto *status = new QWidget(&parent);
    options->setGeometry(0, 121, 300, 52);
    banner->setGeometry(0, 20, 300, 101);
    tree->setGeometry(0, 173, 80, 10);
    status->setGeometry(0, 180, 300, 19);
    setAlign(options, alTop);
    setAlign(banner, alTop);
    setAlign(tree, alLeft);
    setAlign(log, alClient);
    setAlign(status, alBottom);
    parent.show();
    EXPECT_EQ(banner->geometry(), QRect(0, 0, 300, 101));
    EXPECT_EQ(options->geometry(), QRect(0, 101, 300, 52));
    EXPECT_EQ(status->geometry(), QRect(0, 181, 300, 19));
    EXPECT_EQ(tree->geometry(), QRect(0, 153, 80, 28));
    EXPECT_EQ(log->geometry(), QRect(80, 153, 220, 28));

    parent.resize(400, 300);
    EXPECT_EQ(log->geometry(), QRect(80, 153, 320, 128));
    options->hide();
    EXPECT_EQ(tree->geometry(), QRect(0, 101, 80, 180));
}

#include "FormLoaderTest.moc"
