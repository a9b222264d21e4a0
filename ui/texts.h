// Every text the user sees, in one place.
#pragma once

namespace ui {

constexpr wchar_t WindowTitle[] = L"Ferrulon 2.0 (无缓冲)";                              // "(no buffering)"
constexpr wchar_t HintLabel[] = L"请选择检测到的硬盘/固态硬盘/USB 驱动器, 然后按开始.";  // pick a drive, press Start
constexpr wchar_t DriveUnderTestLabel[] = L"驱动器测试: ";                               // "drive test: " + root
constexpr wchar_t Placeholder[] = L"----";                                               // no score or verdict yet
constexpr wchar_t StartLabel[] = L"开始";                                                // "Start"
constexpr wchar_t StopLabel[] = L"停止";                                                 // "Stop"
constexpr wchar_t ScoreCaption[] = L"你的分数 (越低越好)";       // "your score (lower is better)"
constexpr wchar_t VerifyCaption[] = L"验证数据:";                // "verify data:"
constexpr wchar_t StoreScoreLabel[] = L"存储您当前的分数";       // "store your current score"
constexpr wchar_t WrittenLabel[] = L" 写入:  ";                  // " written:  "
constexpr wchar_t VerifiedLabel[] = L" 验证:  ";                 // " verified:  "
constexpr wchar_t FileOpsLabel[] = L" 读/写数:  ";               // " reads/writes:  "
constexpr wchar_t NoDrive[] = L"无驱动器";                       // "no drive"; never shown
constexpr wchar_t PassedVerdict[] = L"已成功完成";               // "completed successfully"
constexpr wchar_t FailedVerdict[] = L"磁盘故障 - 发生错误";      // "disk fault - an error occurred"
constexpr wchar_t InfoCaption[] = L"信息";                       // "information"
constexpr wchar_t CannotCreateFile[] = L"可能无法创建文件!";     // "the file could not be created!"
constexpr wchar_t CannotOpenFile[] = L"无法打开文件!";           // "cannot open the file!"
constexpr wchar_t CannotCreateWindow[] = L"无法创建主窗口!";     // "cannot create the main window!"
constexpr wchar_t CannotAccessDrive[] = L"无法访问所选驱动器!";  // "cannot access the chosen drive!"
constexpr wchar_t NoDriveCaption[] = L"未选择驱动器";            // "no drive selected"
constexpr wchar_t NoDriveText[] = L"请先选择任何驱动器.";        // "please select a drive first."

}  // namespace ui
