#include "ui/command_table.hpp"

namespace tav::ui {

namespace {

using namespace command_id;

// Menus: 文件, 编辑, 测点, 波形处理, 插入处理, 波形分析, 缺陷, 显示, 工具, 帮助.
constexpr CommandInfo kCommands[] = {
    {kFileOpen, "打开(&O)...", "打开一个已有的数据文件", "打开", "文件", Rule::Always, "Ctrl+O"},
    {kAppendOpen, "追加打开", "把其他数据文件的测点追加到当前工程", "追加打开", "文件", Rule::Always, "Ctrl+A"},
    {kFileSave, "保存(&S)", "保存当前数据文件", "保存", "文件", Rule::ProjectOpen, "Ctrl+S"},
    {kFileSaveAs, "另存为(&A)...", "以新的文件名保存当前数据文件", "另存为", "文件", Rule::ProjectOpen},
    {kSaveTicked, "选择保存", "把勾选的测点保存为新的数据文件", "选择保存", "文件", Rule::PointList},
    {kMergeInstrumentFiles, "导入TAV2015数据", "把仪器的单测点数据文件合并为数据文件", "导入数据", "文件", Rule::Always},
    {kFilePrintSetup, "打印设置(&U)...", "设置打印机、纸张和打印页面", "打印设置", "文件", Rule::Printing},
    {kFilePrintPreview, "打印预览(&V)", "显示整页，查看打印的效果", "打印预览", "文件", Rule::Printing},
    {kFilePrint, "打印(&P)...", "打印勾选测点的波形", "打印", "文件", Rule::Printing},
    {kInstrumentTransfer, "数据传输(&R)", "从仪器中传输动测数据到PC机", "传输", "文件", Rule::Always},
    {kSpreadsheetReport, "生成报表(&E)...", "生成Microsoft Excel文件格式的报表文件", "生成报表", "文件", Rule::Reports},
    {kDocumentReport, "生成报告(&W)...", "生成Microsoft Word文件格式的报告文件", "生成报告", "文件", Rule::Reports},
    {kSavePicture, "保存图形", "将分析结果保存成图形文件", "将分析结果保存成图形文件", "文件", Rule::Always},
    {kViewLog, "查看日志", "查看软件的运行日志", "查看日志", "文件", Rule::WithShell},
    {kAppExit, "退出(&X)", "退出应用程序", "退出", "文件", Rule::Always},

    {kEditUndo, "撤销", "撤销上一次测点列表操作", "撤销", "编辑", Rule::PointList, "Ctrl+Z"},
    {kEditRedo, "重做", "重做上一次撤销的测点列表操作", "重做", "编辑", Rule::PointList, "Ctrl+Y"},
    {kEditCut, "剪切", "剪切选中的测点", "剪切", "编辑", Rule::PointList, "Ctrl+X"},
    {kEditCopy, "复制", "复制选中的测点", "复制", "编辑", Rule::PointList, "Ctrl+C"},
    {kEditPaste, "粘贴", "用剪贴板的测点替换选中的测点", "粘贴", "编辑", Rule::PointList, "Ctrl+V"},
    {kPointInsert, "插入", "在选中的测点之前插入剪贴板的测点", "插入", "编辑", Rule::PointList},
    {kPointAppend, "添加", "在列表末尾添加剪贴板的测点", "添加", "编辑", Rule::PointList},
    {kPointDelete, "删除", "删除选中的测点", "删除", "编辑", Rule::PointList, "Del"},
    {kPointUp, "上移", "把选中的测点上移一位", "上移", "编辑", Rule::PointList},
    {kPointDown, "下移", "把选中的测点下移一位", "下移", "编辑", Rule::PointList},
    {kSortAscending, "升序排列", "按桩号升序排列测点", "升序排列", "编辑", Rule::PointList},
    {kSortDescending, "降序排列", "按桩号降序排列测点", "降序排列", "编辑", Rule::PointList},

    {kTickAll, "全部勾选", "勾选全部测点", "全部勾选", "测点", Rule::PointList},
    {kUntickAll, "全部不选", "取消全部测点的勾选", "全部不选", "测点", Rule::PointList},
    {kInvertTicks, "全部反选", "反转全部测点的勾选", "全部反选", "测点", Rule::PointList},
    {kPileInfo, "编辑桩信息", "编辑选中桩的桩信息", "桩信息", "测点", Rule::PointList},
    {kOrderByPileNo, "按桩号排序", "测点列表按桩号排序", "按桩号排序", "测点", Rule::PointList},
    {kOrderByDate, "按检测日期排序", "测点列表按检测日期排序", "按日期排序", "测点", Rule::PointList},
    {kDeleteTicked, "删除所有选中测点", "删除所有勾选的测点", "删除选中测点", "测点", Rule::PointList},

    {kFilter, "数字滤波", "对波形数据进行数字滤波处理", "滤波", "波形处理", Rule::Processing},
    {kMagnify, "波形放大", "对波形数据进行放大处理", "放大", "波形处理", Rule::Processing},
    {kSmooth, "平滑", "对波形数据进行平滑处理", "平滑", "波形处理", Rule::Processing},
    {kIntegrate, "积分", "对波形数据进行积分处理", "积分", "波形处理", Rule::Processing},
    {kDifferentiate, "微分", "对波形数据进行微分处理", "微分", "波形处理", Rule::Processing},
    {kRemoveDc, "去直流", "去除波形数据的直流分量", "去直流", "波形处理", Rule::Processing},
    {kRotate, "波形旋转", "对波形数据进行旋转处理", "旋转", "波形处理", Rule::Processing},
    {kLinearZero, "线性归零", "对波形数据进行线性归零处理", "线性归零", "波形处理", Rule::Processing},
    {kNonlinearZero, "非线性归零", "对波形数据进行非线性归零处理", "非线性归零", "波形处理", Rule::Processing},
    {kFrontZero, "前置零", "把游标之前的波形数据置零", "前置零", "波形处理", Rule::Processing},
    {kRearZero, "后置零", "把游标之后的波形数据置零", "后置零", "波形处理", Rule::Processing},
    {kLocalScale, "局部缩放", "对一段波形数据进行缩放", "局部缩放", "波形处理", Rule::Processing},
    {kShift, "数据平移", "对波形数据进行平移", "平移", "波形处理", Rule::Processing},
    {kReverse, "波形反向", "把波形数据反向", "反向", "波形处理", Rule::Processing},
    {kStepEdit, "编辑[波形处理]", "编辑选中的处理过程", "编辑处理", "波形处理", Rule::Processing},
    {kStepDelete, "删除[波形处理]", "删除选中的处理过程", "删除处理", "波形处理", Rule::Processing},
    {kStepClear, "清除[波形处理]", "清除所有处理过程", "清除处理", "波形处理", Rule::Processing},
    {kUndoLast, "撤销[波形处理]", "撤销最后一次波形处理操作", "撤销处理", "波形处理", Rule::Processing},
    {kScopeCurrent, "当前波形", "操作只作用于当前波形", "当前波形", "波形处理", Rule::Always},
    {kScopeAll, "全部波形", "操作作用于显示的全部波形", "全部波形", "波形处理", Rule::Always},

    {kInsertFilter, "数字滤波", "在选中的处理过程之前插入数字滤波", "插入滤波", "插入处理", Rule::Processing},
    {kInsertMagnify, "波形放大", "在选中的处理过程之前插入波形放大", "插入放大", "插入处理", Rule::Processing},
    {kInsertRemoveDc, "去直流", "在选中的处理过程之前插入去直流", "插入去直流", "插入处理", Rule::Processing},
    {kInsertSmooth, "平滑", "在选中的处理过程之前插入平滑", "插入平滑", "插入处理", Rule::Processing},
    {kInsertIntegrate, "积分", "在选中的处理过程之前插入积分", "插入积分", "插入处理", Rule::Processing},
    {kInsertDifferentiate, "微分", "在选中的处理过程之前插入微分", "插入微分", "插入处理", Rule::Processing},
    {kInsertRotate, "波形旋转", "在选中的处理过程之前插入波形旋转", "插入旋转", "插入处理", Rule::Processing},
    {kInsertLinearZero, "线性归零", "在选中的处理过程之前插入线性归零", "插入线性归零", "插入处理", Rule::Processing},
    {kInsertNonlinearZero, "非线性归零", "在选中的处理过程之前插入非线性归零", "插入非线性归零", "插入处理", Rule::Processing},
    {kInsertFrontZero, "前置零", "在选中的处理过程之前插入前置零", "插入前置零", "插入处理", Rule::Processing},
    {kInsertRearZero, "后置零", "在选中的处理过程之前插入后置零", "插入后置零", "插入处理", Rule::Processing},
    {kInsertLocalScale, "局部缩放", "在选中的处理过程之前插入局部缩放", "插入局部缩放", "插入处理", Rule::Processing},
    {kInsertShift, "数据平移", "在选中的处理过程之前插入数据平移", "插入平移", "插入处理", Rule::Processing},
    {kInsertReverse, "波形反向", "在选中的处理过程之前插入波形反向", "插入反向", "插入处理", Rule::Processing},

    {kPileHead, "桩头(&H)", "把游标位置设为桩头", "桩头", "波形分析", Rule::View},
    {kPileToe, "桩底(&T)", "把游标位置设为桩底", "桩底", "波形分析", Rule::View},
    {kMarkLine, "标记线(&M)", "在游标位置添加标记线", "标记线", "波形分析", Rule::View},
    {kMarkEdit, "编辑[波形分析]", "编辑选中的缺陷", "编辑", "波形分析", Rule::View},
    {kMarkDelete, "删除[波形分析]", "删除选中的缺陷或标记", "删除", "波形分析", Rule::View},
    {kMarkClear, "清除(&L)", "清除所有缺陷或标记", "清除", "波形分析", Rule::View},
    {kAutoPropose, "自动判读", "自动找出当前波形的桩底和缺陷反射，逐条采用或忽略", "自动判读", "波形分析", Rule::CurrentPoint},
    {kSiteSpeed, "桩身波速统计", "按桩型统计桩身波速平均值，并可应用到选定的桩", "桩身波速统计", "波形分析", Rule::AnyPoint},
    {kSignalMatch, "信号拟合", "用桩的波动模型拟合当前测点的波形，求出桩身阻抗剖面", "信号拟合", "波形分析", Rule::CurrentPoint},

    {kBulgeGrade2, "扩径(Ⅱ)", "在游标位置标记扩径(Ⅱ)", "扩径(Ⅱ)", "缺陷", Rule::View},
    {kNeckGrade2, "缩径(Ⅱ)", "在游标位置标记缩径(Ⅱ)", "缩径(Ⅱ)", "缺陷", Rule::View},
    {kMudGrade2, "夹泥(Ⅱ)", "在游标位置标记夹泥(Ⅱ)", "夹泥(Ⅱ)", "缺陷", Rule::View},
    {kSegregationGrade2, "离析(Ⅱ)", "在游标位置标记离析(Ⅱ)", "离析(Ⅱ)", "缺陷", Rule::View},
    {kCrackGrade2, "裂缝(Ⅱ)", "在游标位置标记裂缝(Ⅱ)", "裂缝(Ⅱ)", "缺陷", Rule::View},
    {kBaseBulgeGrade2, "扩底(Ⅱ)", "在游标位置标记扩底(Ⅱ)", "扩底(Ⅱ)", "缺陷", Rule::View},
    {kBulgeGrade3, "扩径(Ⅲ)", "在游标位置标记扩径(Ⅲ)", "扩径(Ⅲ)", "缺陷", Rule::View},
    {kNeckGrade3, "缩径(Ⅲ)", "在游标位置标记缩径(Ⅲ)", "缩径(Ⅲ)", "缺陷", Rule::View},
    {kMudGrade3, "夹泥(Ⅲ)", "在游标位置标记夹泥(Ⅲ)", "夹泥(Ⅲ)", "缺陷", Rule::View},
    {kSegregationGrade3, "离析(Ⅲ)", "在游标位置标记离析(Ⅲ)", "离析(Ⅲ)", "缺陷", Rule::View},
    {kCrackGrade3, "裂缝(Ⅲ)", "在游标位置标记裂缝(Ⅲ)", "裂缝(Ⅲ)", "缺陷", Rule::View},
    {kBaseBulgeGrade3, "扩底(Ⅲ)", "在游标位置标记扩底(Ⅲ)", "扩底(Ⅲ)", "缺陷", Rule::View},
    {kBreakGrade4, "断桩(Ⅳ)", "在游标位置标记断桩(Ⅳ)", "断桩(Ⅳ)", "缺陷", Rule::View},
    {kMinorDefect, "轻微缺陷", "在游标位置标记轻微缺陷", "轻微缺陷", "缺陷", Rule::View},
    {kOrdinaryDefect, "普通缺陷", "在游标位置标记普通缺陷", "普通缺陷", "缺陷", Rule::View},
    {kSevereDefect, "严重缺陷", "在游标位置标记严重缺陷", "严重缺陷", "缺陷", Rule::View},
    {kCustomDefect, "自定义缺陷", "在游标位置标记自定义的缺陷", "自定义缺陷", "缺陷", Rule::CursorOnCurrent},

    {kDefaultPlacement, "默认位置比例", "波形按默认位置和比例显示", "默认位置比例", "显示", Rule::View},
    {kWholeWaveform, "显示完整波形", "显示完整的波形", "完整波形", "显示", Rule::View},
    {kAlignHead, "对齐桩头", "波形按桩头对齐", "对齐桩头", "显示", Rule::View},
    {kMoveLeft, "波形左移", "波形向左移动", "左移", "显示", Rule::View},
    {kMoveRight, "波形右移", "波形向右移动", "右移", "显示", Rule::View},
    {kResetPosition, "横向位置.还原显示", "横向位置还原", "位置还原", "显示", Rule::View},
    {kAlignToe, "横向比例.对齐桩尾/自动伸缩", "横向比例按桩尾对齐", "对齐桩尾", "显示", Rule::View},
    {kHorizontalStretch, "横向比例.拉伸", "横向拉伸波形", "横向拉伸", "显示", Rule::View},
    {kHorizontalCompress, "横向比例.压缩", "横向压缩波形", "横向压缩", "显示", Rule::View},
    {kResetScale, "横向比例.还原显示", "横向比例还原", "比例还原", "显示", Rule::View},
    {kVerticalAuto, "竖向比例.自动", "竖向比例自动", "竖向自动", "显示", Rule::View},
    {kVerticalStretch, "竖向比例.拉伸", "竖向拉伸波形", "竖向拉伸", "显示", Rule::View},
    {kVerticalCompress, "竖向比例.压缩", "竖向压缩波形", "竖向压缩", "显示", Rule::View},
    {kFillNone, "填充.不填充", "波形不填充", "不填充", "显示", Rule::View},
    {kFillPositive, "填充.正填充", "填充波形的正半部分", "正填充", "显示", Rule::View},
    {kFillNegative, "填充.负填充", "填充波形的负半部分", "负填充", "显示", Rule::View},
    {kSpectrumLines, "频谱显示.谱线", "频谱以谱线显示", "谱线", "显示", Rule::View},
    {kSpectrumEnvelope, "频谱显示.包络", "频谱以包络显示", "包络", "显示", Rule::View},
    {kDisplaySettings, "显示设置...", "设置波速范围和鼠标快捷操作", "显示设置", "显示", Rule::WithShell},
    {kCrossCursor, "十字游标", "使用十字游标", "十字游标", "显示", Rule::View},
    {kLineCursor, "竖线游标", "使用竖线游标", "竖线游标", "显示", Rule::View},
    {kCursorReadout, "显隐游标信息", "显示或隐藏游标信息", "游标信息", "显示", Rule::View},

    {kCalculator, "计算器", "打开计算器", "计算器", "工具", Rule::ToolInstalled},
    {kPaint, "画图", "打开画图程序", "画图", "工具", Rule::ToolInstalled},
    {kNotepad, "记事本", "打开记事本", "记事本", "工具", Rule::ToolInstalled},

    {kHelp, "帮助主题(&H)", "打开帮助", "帮助", "帮助", Rule::Always, "F1"},
    {kAppAbout, "关于(&A)...", "显示程序信息、版本号和版权", "关于", "帮助", Rule::Always},

    // The chain list's own context menu.
    {kChainListEdit, "编辑", "编辑选中的处理过程", "编辑", "处理列表", Rule::Processing},
    {kChainListDelete, "删除", "删除选中的处理过程", "删除", "处理列表", Rule::Processing},
    {kChainListClear, "清除", "清除所有处理过程", "清除", "处理列表", Rule::Processing},
    {kChainListInsertFilter, "数字滤波", "在选中的处理过程之前插入数字滤波", "插入滤波", "处理列表", Rule::Processing},
    {kChainListInsertMagnify, "波形放大", "在选中的处理过程之前插入波形放大", "插入放大", "处理列表", Rule::Processing},
    {kChainListInsertRemoveDc, "去直流", "在选中的处理过程之前插入去直流", "插入去直流", "处理列表", Rule::Processing},
    {kChainListInsertSmooth, "平滑", "在选中的处理过程之前插入平滑", "插入平滑", "处理列表", Rule::Processing},
    {kChainListInsertIntegrate, "积分", "在选中的处理过程之前插入积分", "插入积分", "处理列表", Rule::Processing},
    {kChainListInsertRotate, "波形旋转", "在选中的处理过程之前插入波形旋转", "插入旋转", "处理列表", Rule::Processing},
    {kChainListInsertReverse, "波形反向", "在选中的处理过程之前插入波形反向", "插入反向", "处理列表", Rule::Processing},
};

constexpr int kToolbar[] = {kFileOpen, kFileSave, kFilter,   kIntegrate, kDifferentiate, kReverse,
                            kUndoLast, kScopeCurrent, kScopeAll, kPileHead, kPileToe};

constexpr int kPointListMenu[] = {
    kEditCopy, kEditCut, kEditPaste, kPointInsert, kPointAppend, kPointDelete, 0,
    kPointUp, kPointDown, 0,
    kEditUndo, kEditRedo, 0,
    kSortAscending, kSortDescending, 0,
    kTickAll, kUntickAll, kInvertTicks, 0,
    kPileInfo, kOrderByPileNo, kOrderByDate, kDeleteTicked,
};

constexpr int kWaveformDefects[] = {
    kBulgeGrade2, kNeckGrade2, kBreakGrade4,  kCrackGrade2, kMudGrade2,       kSegregationGrade2,
    kBaseBulgeGrade2, kBulgeGrade3, kNeckGrade3, kCrackGrade3, kMudGrade3, kSegregationGrade3,
    kBaseBulgeGrade3, kMinorDefect, kOrdinaryDefect, kSevereDefect,
};

constexpr int kWaveformDisplay[] = {
    kDefaultPlacement, kWholeWaveform, kAlignHead, kMoveLeft, kMoveRight, kAlignToe,
    kHorizontalStretch, kHorizontalCompress, kVerticalAuto, kVerticalStretch, kVerticalCompress,
};

constexpr int kChainListInserts[] = {
    kChainListInsertFilter,    kChainListInsertMagnify, kChainListInsertRemoveDc, kChainListInsertSmooth,
    kChainListInsertIntegrate, kChainListInsertRotate,  kChainListInsertReverse,
};

}  // namespace

std::span<const CommandInfo> CommandTable() { return kCommands; }

const CommandInfo* FindCommand(int id) {
    for (const auto& c : kCommands)
        if (c.id == id) return &c;
    return nullptr;
}

Rule RuleOf(int id) {
    const CommandInfo* c = FindCommand(id);
    return c ? c->rule : Rule::NotBuilt;
}

std::span<const int> ToolbarCommands() { return kToolbar; }
std::span<const int> PointListMenuCommands() { return kPointListMenu; }
std::span<const int> WaveformMenuDefects() { return kWaveformDefects; }
std::span<const int> WaveformMenuDisplay() { return kWaveformDisplay; }
std::span<const int> ChainListMenuInserts() { return kChainListInserts; }

}  // namespace tav::ui
