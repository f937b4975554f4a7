#include "compat/com/ComObject.h"

#include <gtest/gtest.h>

#include "compat/com/ClassFactory.h"
#include "compat/com/ComPtr.h"
#include "compat/com/Guid.h"

namespace {

using namespace compat;

class Speaker : public ComUnknown {
public:
    static constexpr Guid kId = Guid::parse("{11111111-2222-3333-4444-555555555555}");
    virtual int speak() = 0;

protected:
    ~Speaker() = default;
};

class Counter : public ComUnknown {
public:
    static constexpr Guid kId = Guid::parse("{aaaaaaaa-bbbb-cccc-dddd-eeeeeeeeeeee}");
    virtual int count() = 0;

protected:
    ~Counter() = default;
};

int g_alive = 0;

class Both final : public ComObject<Speaker, Counter> {
public:
    Both() { ++g_alive; }
    ~Both() override { --g_alive; }
    int speak() override { return 1; }
    int count() override { return 2; }
};

TEST(GuidTest, ParsesAndPrintsTheBracedForm) {
    constexpr auto id = Guid::parse("{648ee14a-ECF8-40EA-B9FB-37C1288C4ABE}");
    EXPECT_EQ(id.data1, 0x648EE14Au);
    EXPECT_EQ(id.data2, 0xECF8u);
    EXPECT_EQ(id.data3, 0x40EAu);
    EXPECT_EQ(id.data4[0], 0xB9u);
    EXPECT_EQ(id.data4[7], 0xBEu);
    EXPECT_EQ(id.toString(), "{648EE14A-ECF8-40EA-B9FB-37C1288C4ABE}");
    EXPECT_EQ(Guid::parse(id.toString()), id);
    EXPECT_NE(id, Speaker::kId);
    for (const char* bad : {"", "648EE14A-ECF8-40EA-B9FB-37C1288C4ABE", "{648EE14A-ECF8-40EA-B9FB-37C1288C4AB}",
                            "{648EE14A+ECF8-40EA-B9FB-37C1288C4ABE}", "{648EE14G-ECF8-40EA-B9FB-37C1288C4ABE}",
                            "{648EE14A-ECF8-40EA-B9FB-37C1288C4ABE}x"})
        EXPECT_THROW(Guid::parse(bad), std::invalid_argument) << bad;
}

TEST(ComObjectTest, ServesItsInterfacesAndCountsReferences) {
    ASSERT_TRUE(moduleCanUnload());
    auto both = ComPtr<Speaker>::adopt(new Both());
    EXPECT_FALSE(moduleCanUnload());
    auto counter = both.as<Counter>();
    ASSERT_TRUE(counter);
    EXPECT_EQ(counter->count(), 2);
    // The root interface is one and the same for every interface of the object.
    auto rootFromSpeaker = both.as<ComUnknown>();
    auto rootFromCounter = counter.as<ComUnknown>();
    EXPECT_EQ(rootFromSpeaker.get(), rootFromCounter.get());
    EXPECT_EQ(rootFromCounter.as<Speaker>()->speak(), 1);

    void* none = &none;
    EXPECT_EQ(both->QueryInterface(ClassFactory::kId, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(both->QueryInterface(Counter::kId, nullptr), E_POINTER);

    // Each held reference keeps the object; the last release frees it.
    EXPECT_EQ(both->AddRef(), 5u);
    EXPECT_EQ(both->Release(), 4u);
    rootFromSpeaker.reset();
    rootFromCounter.reset();
    counter.reset();
    EXPECT_EQ(g_alive, 1);
    both.reset();
    EXPECT_EQ(g_alive, 0);
    EXPECT_TRUE(moduleCanUnload());
}

class BothFactory final : public ClassFactoryFor<Both> {};

TEST(ComObjectTest, FactoryMakesObjectsAndHoldsTheModule) {
    static BothFactory factory;
    ComPtr<Counter> made;
    ASSERT_EQ(factory.CreateInstance(nullptr, Counter::kId, made.putVoid()), S_OK);
    EXPECT_EQ(made->count(), 2);
    made.reset();
    EXPECT_EQ(g_alive, 0);
    // An interface the class lacks makes nothing that outlives the call.
    ASSERT_EQ(factory.CreateInstance(nullptr, ClassFactory::kId, made.putVoid()), E_NOINTERFACE);
    EXPECT_FALSE(made);
    EXPECT_EQ(g_alive, 0);
    EXPECT_TRUE(moduleCanUnload());
    ASSERT_EQ(factory.LockServer(true), S_OK);
    EXPECT_FALSE(moduleCanUnload());
    ASSERT_EQ(factory.LockServer(false), S_OK);
    EXPECT_TRUE(moduleCanUnload());
}

}  // namespace
