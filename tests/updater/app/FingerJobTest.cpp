// Loading a description's jobs into a finger tree: what loads, what fails,
// and the tree that comes out.
#include <gtest/gtest.h>

#include "FingerTestSupport.h"
#include "RowName.h"

namespace {

struct JobCase {
  const char* name;
  const char* description;  // the files Exists.dat and sub/Here.dat exist beside it
  bool loads;
  const wchar_t* tree;  // DescribeSection of the root when it loads
};

const JobCase kJobCases[] = {
    {"DlflAllFields", "[MAIN]\nJob_1=dlfl;a.dll;1024;1700000000;ZF7Z;a.dll.z;512;MD5;0123abcd\n", true, L"a.dll"},
    {"DlflSevenFields", "[MAIN]\nJob_1=dlfl;a.dll;1024;1700000000;ZF7Z;a.dll.z;512;MD5\n", false, nullptr},
    {"DlflEmptyCheckValueWithoutItsSemicolon", "[MAIN]\nJob_1=dlfl;a.dll;1;2;;a.dll;1;;\n", false, nullptr},
    {"DlflEmptyCheckValueWithItsSemicolon", "[MAIN]\nJob_1=dlfl;a.dll;1;2;;a.dll;1;;;\n", true, L"a.dll"},
    {"DlflBackslashesBecomeSlashes", "[MAIN]\nJob_1=dlfl;Res\\img\\a.png;1;2;;Res\\a.z;1;;;\n", true, L"Res/img/a.png"},
    {"DlflAbsoluteNameRefused", "[MAIN]\nJob_1=dlfl;/etc/passwd;1;2;;p;1;;;\n", false, nullptr},
    {"DlflBackslashRootRefused", "[MAIN]\nJob_1=dlfl;\\etc\\passwd;1;2;;p;1;;;\n", false, nullptr},
    {"DlflDriveLetterRefused", "[MAIN]\nJob_1=dlfl;C:\\Windows\\a.dll;1;2;;p;1;;;\n", false, nullptr},
    {"DlflParentComponentRefused", "[MAIN]\nJob_1=dlfl;Res\\..\\..\\a.dll;1;2;;p;1;;;\n", false, nullptr},
    {"DlflEmptyNameRefused", "[MAIN]\nJob_1=dlfl; ;1;2;;p;1;;;\n", false, nullptr},
    {"DlflDotsInsideANameAllowed", "[MAIN]\nJob_1=dlfl;a..b/..c;1;2;;p;1;;;\n", true, L"a..b/..c"},
    {"RmflWithoutErr", "[MAIN]\nJob_1=rmfl;Exists.dat\n", true, L"-Exists.dat"},
    {"RmflWithErr", "[MAIN]\nJob_1=rmfl;Exists.dat;:err\n", true, L"!Exists.dat"},
    {"RmflWithBareErr", "[MAIN]\nJob_1=rmfl;Exists.dat; err \n", true, L"!Exists.dat"},
    {"RmflWithOtherWord", "[MAIN]\nJob_1=rmfl;Exists.dat;:keep\n", true, L"-Exists.dat"},
    {"RmflParentComponentRefused", "[MAIN]\nJob_1=rmfl;..\\Exists.dat\n", false, nullptr},
    {"RmflWithoutName", "[MAIN]\nJob_1=rmfl\n", false, nullptr},
    {"FirstDefinitionWins",
     "[MAIN]\nJob_1=dlfl;a.dll;1;2;;first;1;;;\nJob_2=dlfl;a.dll;9;9;;second;9;;;\nJob_3=rmfl;a.dll\n", true,
     L"a.dll,a.dll,-a.dll"},
    {"OtherKeysSkipped", "[MAIN]\nStopCmd=x\njob_1=bogus\nJob=bogus\nJob_2=ckfl;anything\n", true, L""},
    {"UnknownJobFails", "[MAIN]\nJob_1=dlfl;a;1;2;;a;1;;;\nJob_2=copy;a\n", false, nullptr},
    {"LineWithoutEqualsFails", "[MAIN]\nJob_1=rmfl;Exists.dat\nJob_2\n", false, nullptr},
    {"SubFilesMerged", "[MAIN]\nJob_1=sub;files\n[files]\nSectionType=files\nJob_1=rmfl;Exists.dat\n", true,
     L"-Exists.dat"},
    {"SubDefaultMerged", "[MAIN]\nJob_1=sub;files\n[files]\nJob_1=rmfl;Exists.dat\n", true, L"-Exists.dat"},
    {"SubModuleIsAChild",
     "[MAIN]\nJob_1=rmfl;a\nJob_2=sub;mod\nJob_3=rmfl;b\n[mod]\nSectionType= module \nJob_1=rmfl;Exists.dat\n",
     true, L"-a,mod{-Exists.dat},-b"},
    {"SubUnknownTypeIsAChild", "[MAIN]\nJob_1=sub;mod\n[mod]\nSectionType=plugin\nJob_1=rmfl;x\n", true, L"mod{-x}"},
    {"SubModuleIgnore", "[MAIN]\nJob_1=sub;ignore\n[ignore]\nSectionType=module\nJob_1=copy\n", true, L""},
    {"SubModuleErr", "[MAIN]\nJob_1=sub;err\n[err]\nSectionType=module\n", false, nullptr},
    {"SubMissingSectionIsEmpty", "[MAIN]\nJob_1=sub;nowhere\n", true, L""},
    {"SwitchOnExistingFile", "[MAIN]\nJob_1=swch;ckfl;%APPDIR%;1:A;0:B\n[A]\nJob_1=rmfl;a\n[B]\nJob_1=rmfl;b\n", true,
     L"-a"},
    {"SwitchOnMissingFile", "[MAIN]\nJob_1=swch;ckfl;/nowhere/x;1:A;0:B\n[A]\nJob_1=rmfl;a\n[B]\nJob_1=rmfl;b\n",
     true, L"-b"},
    {"SwitchAnyCaseFirst", "[MAIN]\nJob_1=swch;ckfl;/nowhere/x;:C;1:A;0:B\n[A]\nJob_1=rmfl;a\n[C]\nJob_1=rmfl;c\n",
     true, L"-c"},
    {"SwitchEmptyCasesSkipped", "[MAIN]\nJob_1=swch;ckfl;/nowhere/x;;1:A;; 0: B \n[B]\nJob_1=rmfl;b\n", true, L"-b"},
    {"SwitchNoCase", "[MAIN]\nJob_1=swch;ckfl;/nowhere/x;1:A\n", true, L""},
    {"SwitchCaseTakesAModule", "[MAIN]\nJob_1=swch;ckfl;/nowhere/x;0:M\n[M]\nSectionType=module\nJob_1=rmfl;m\n", true,
     L"M{-m}"},
    {"SwitchWithoutPath", "[MAIN]\nJob_1=swch;ckfl\n", false, nullptr},
    {"SwitchVar", "[MAIN]\nJob_1=swch;var;more\n[more]\nSectionType=module\nJob_1=rmfl;v\n", true, L"-v"},
    {"SwitchOtherKind", "[MAIN]\nJob_1=swch;reg;x\n", false, nullptr},
    {"SubIntoItselfRefused", "[MAIN]\nJob_1=sub;MAIN\n", false, nullptr},
    {"SubIntoItselfOtherCaseRefused", "[MAIN]\nJob_1=sub;main\n", false, nullptr},
    {"SwitchVarIntoItselfRefused", "[MAIN]\nJob_1=swch;var;MAIN\n", false, nullptr},
    {"ModuleIntoAnAncestorRefused", "[MAIN]\nJob_1=sub;m\n[m]\nSectionType=module\nJob_1=sub;MAIN\n", false, nullptr},
    {"CaseIntoItselfRefused", "[MAIN]\nJob_1=swch;ckfl;/x;:MAIN\n", false, nullptr},
    {"SameSectionTwiceInARowIsFine", "[MAIN]\nJob_1=sub;f\nJob_2=sub;f\n[f]\nJob_1=rmfl;x\n", true, L"-x,-x"},
};

class FingerJobTest : public ::testing::TestWithParam<JobCase> {};

TEST_P(FingerJobTest, LoadsTheTree) {
  FingerFixture f;
  ASSERT_TRUE(f.folder.ok());
  f.folder.put("Exists.dat", "x");
  const JobCase& c = GetParam();
  ASSERT_EQ(f.Load(c.description), c.loads);
  if (!c.loads) {
    EXPECT_EQ(f.finger.Root(), nullptr) << "a failed load leaves the finger cleared";
    EXPECT_TRUE(f.finger.Items().empty());
    EXPECT_FALSE(f.finger.Loaded());
    return;
  }
  EXPECT_TRUE(f.finger.Loaded());
  EXPECT_EQ(f.Tree(), c.tree);
}

INSTANTIATE_TEST_SUITE_P(Jobs, FingerJobTest, ::testing::ValuesIn(kJobCases), RowName());

TEST(FingerJob, DlflFields) {
  FingerFixture f;
  ASSERT_TRUE(f.Load("[MAIN]\n"
                     "Job_1=dlfl; a.dll ;1024;1700000000;ZF7Z;a.dll.z;512;MD5;0123abcd\n"
                     "Job_2=dlfl;b;-5;x;ZLIB;b;-1;VER;1.2.3.4;\n"
                     "Job_3=dlfl;c;7;;7Z;c; ;IVER;;\n"
                     "Job_4=dlfl;d;7;0;;d;x;SHA1;ab;\n"));
  const SFileItem* a = f.File(L"a.dll");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->type, FIT_DOWNFILE);
  EXPECT_EQ(a->size, 1024);
  EXPECT_EQ(a->fileTime, 1700000000);
  EXPECT_EQ(a->zipType, ZIP_ZF7Z);
  EXPECT_EQ(a->remoteName, L"a.dll.z");
  EXPECT_EQ(a->transSize, 512);
  EXPECT_EQ(a->checkType, CHK_MD5);
  EXPECT_EQ(a->checkValue, L"0123ABCD");
  EXPECT_EQ(a->state, 0);
  const SFileItem* b = f.File(L"b");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->size, -5);
  EXPECT_EQ(b->fileTime, 0);
  EXPECT_EQ(b->zipType, ZIP_ZLIB);
  EXPECT_EQ(b->transSize, -1);
  EXPECT_EQ(b->checkType, CHK_VER);
  const SFileItem* c = f.File(L"c");
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->zipType, 3) << "an unknown compression keyword";
  EXPECT_EQ(c->transSize, -1) << "a blank transfer size";
  EXPECT_EQ(c->checkType, CHK_IVER);
  const SFileItem* d = f.File(L"d");
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->transSize, -1) << "a transfer size that is no number";
  EXPECT_EQ(d->checkType, 4) << "an unknown check keyword";
}

TEST(FingerJob, ModuleSectionKnowsItsParent) {
  FingerFixture f;
  ASSERT_TRUE(f.Load("[MAIN]\nJob_1=sub;m\n[m]\nSectionType=module\nJob_1=sub;n\n[n]\nSectionType=module\n"));
  ASSERT_EQ(f.Tree(), L"m{n{}}");
  const auto* m = static_cast<const SFingerSection*>(f.finger.Root()->children[0]);
  EXPECT_EQ(m->parent, f.finger.Root());
  EXPECT_EQ(static_cast<const SFingerSection*>(m->children[0])->parent, m);
  EXPECT_EQ(f.finger.Root()->parent, nullptr);
  EXPECT_EQ(f.finger.Root()->name, L"MAIN");
}

TEST(FingerJob, ItemsListEachFileOnceInOrderOfFirstAppearance) {
  FingerFixture f;
  ASSERT_TRUE(f.Load("[MAIN]\nJob_1=rmfl;z\nJob_2=sub;m\nJob_3=dlfl;a;1;2;;a;1;;;\n"
                     "[m]\nSectionType=module\nJob_1=dlfl;a;1;2;;a;1;;;\nJob_2=dlfl;b;1;2;;b;1;;;\nJob_3=rmfl;z\n"));
  EXPECT_EQ(Names(f.finger.Items()), L"z,a,b");
  EXPECT_EQ(f.Tree(), L"-z,m{a,b,-z},a");
}

TEST(FingerJob, DeepNestingIsRefusedBeforeTheStackIs) {
  std::string deep = "[MAIN]\nJob_1=sub;s1\n";
  for (int i = 1; i <= 200; ++i)
    deep += "[s" + std::to_string(i) + "]\nSectionType=module\nJob_1=sub;s" + std::to_string(i + 1) + "\n";
  FingerFixture f;
  EXPECT_FALSE(f.Load(deep));
  std::string shallow = "[MAIN]\nJob_1=sub;s1\n";
  for (int i = 1; i <= 20; ++i) shallow += "[s" + std::to_string(i) + "]\nJob_1=sub;s" + std::to_string(i + 1) + "\n";
  EXPECT_TRUE(f.Load(shallow));
}

TEST(FingerJob, MissingDescriptionFails) {
  FingerFixture f;
  f.ini.SetFile(f.folder.wideFolder() + L"UpdateInfo.ini");
  EXPECT_FALSE(f.finger.InitSection(&f.ini, L"MAIN"));
  EXPECT_EQ(f.finger.Ini(), &f.ini);
}

// A fetched file that is no description must not load as "nothing to do".
TEST(FingerJob, MissingMainSectionFails) {
  FingerFixture f;
  EXPECT_FALSE(f.Load("\x7F" "ELF binary junk\n"));
  EXPECT_FALSE(f.Load("[VER]\nVer=1.0.0.2\n[MAIN_V2]\nJob_1=rmfl;x\n"));
  EXPECT_TRUE(f.Load("[VER]\nVer=1.0.0.2\n[main]\n"));
  EXPECT_EQ(f.Tree(), L"");
}

TEST(FingerJob, ReloadReplacesTheTree) {
  FingerFixture f;
  ASSERT_TRUE(f.Load("[MAIN]\nJob_1=rmfl;x\n"));
  ASSERT_TRUE(f.Load("[MAIN]\nJob_1=rmfl;y\n"));
  EXPECT_EQ(f.Tree(), L"-y");
  EXPECT_FALSE(f.Load("[MAIN]\nJob_1=bad\n"));
  EXPECT_EQ(f.finger.Root(), nullptr);
}

}  // namespace
