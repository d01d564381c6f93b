// Autostart's texts: the Run value, the scheduler's commands and task file.
#include <gtest/gtest.h>

#include "app/autostart.h"

using namespace kalorix;

TEST(Autostart, EscapingAndCommandLines) {
    EXPECT_EQ(XmlEscape(L"C:\\Tools & <Apps>\\\"K\"'s.exe"), L"C:\\Tools &amp; &lt;Apps&gt;\\&quot;K&quot;'s.exe");
    EXPECT_EQ(RunValueData(L"C:\\A & B\\kalorix.exe"), L"\"C:\\A & B\\kalorix.exe\" --tray");
    const std::wstring tool = L"C:\\Windows\\system32\\schtasks.exe";
    EXPECT_EQ(TaskDeleteCommand(tool), L"\"C:\\Windows\\system32\\schtasks.exe\" /delete /tn \"Kalorix\" /f");
    EXPECT_EQ(TaskCreateCommand(tool, L"C:\\Temp\\kalorix-task.xml"),
              L"\"C:\\Windows\\system32\\schtasks.exe\" /create /tn \"Kalorix\" /xml \"C:\\Temp\\kalorix-task.xml\" /f");
    // The Startup apps page's record: an odd first byte is "off".
    EXPECT_TRUE(StartupApprovedDisabled(std::string("\x03\0\0\0", 4)));
    EXPECT_FALSE(StartupApprovedDisabled(std::string("\x02\0\0\0", 4)));
}

TEST(Autostart, TaskDefinitionTextAndBytes) {
    const std::wstring xml = BuildTaskXml(L"S-1-5-21-1-2-3-1001", L"C:\\Program Files\\R&D\\kalorix.exe");
    // What the scheduler needs: the user, highest rights when allowed, the program escaped, no time limit.
    for (const wchar_t* part : {L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n",
                                L"<LogonTrigger><Enabled>true</Enabled><UserId>S-1-5-21-1-2-3-1001</UserId>",
                                L"<RunLevel>HighestAvailable</RunLevel>", L"<ExecutionTimeLimit>PT0S</ExecutionTimeLimit>",
                                L"<Command>C:\\Program Files\\R&amp;D\\kalorix.exe</Command><Arguments>--tray</Arguments>"})
        EXPECT_NE(xml.find(part), std::wstring::npos) << part;
    EXPECT_EQ(TaskFileBytes(L"<a>ı\r\n"), std::string("\xFF\xFE<\0a\0>\0\x31\x01\r\0\n\0", 14));
}
