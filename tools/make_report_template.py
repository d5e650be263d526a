#!/usr/bin/env python3
"""Writes data/Report.docx, the template of the low-strain testing report.

The report library fills it from the report data file: "{{label}}" takes the
value of that label, the table row holding "{{检测结果.1}}".."{{检测结果.7}}" is
repeated once per tested point, and the paragraph holding "{{测点图集}}"
becomes the curve pictures with their captions. What the data file does not
carry is a marked blank "【待填写：…】" for the engineer.

The layout follows what a pile testing report must hold (JGJ 106-2014): the
project facts and the parties, the ground, the tested piles, the method and
instruments, the measured curves and results, and conclusions.

Run from the repository's root after changing the layout: python3 tools/make_report_template.py
The output is deterministic (fixed member order and timestamps).
"""
import os
import sys
import zipfile
from xml.sax.saxutils import escape

W_NS = ('xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main" '
        'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships" '
        'xmlns:wp="http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing" '
        'xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main" '
        'xmlns:pic="http://schemas.openxmlformats.org/drawingml/2006/picture"')
XML_HEAD = '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
TEXT_WIDTH = 9070  # A4 less 2.5 cm margins, in twentieths of a point


def run(text, bold=False, size=None):
    props = ''
    if bold:
        props += '<w:b/><w:bCs/>'
    if size:
        props += '<w:sz w:val="%d"/><w:szCs w:val="%d"/>' % (size, size)
    props = '<w:rPr>%s</w:rPr>' % props if props else ''
    return '<w:r>%s<w:t xml:space="preserve">%s</w:t></w:r>' % (props, escape(text))


def para(content, style=None, align=None, page_break_before=False, keep_next=False, runs=None):
    props = ''
    if style:
        props += '<w:pStyle w:val="%s"/>' % style
    if keep_next:
        props += '<w:keepNext/>'
    if page_break_before:
        props += '<w:pageBreakBefore/>'
    if align:
        props += '<w:jc w:val="%s"/>' % align
    body = runs if runs is not None else (run(content) if content else '')
    return '<w:p>%s%s</w:p>' % ('<w:pPr>%s</w:pPr>' % props if props else '', body)


def cell(text, width, bold=False, align=None, span=1):
    props = '<w:tcW w:w="%d" w:type="dxa"/>' % width
    if span > 1:
        props += '<w:gridSpan w:val="%d"/>' % span
    props += '<w:vAlign w:val="center"/>'
    return '<w:tc><w:tcPr>%s</w:tcPr>%s</w:tc>' % (props, para(None, style='TableText', align=align,
                                                                runs=run(text, bold=bold)))


def table(rows, widths, header_rows=0):
    grid = ''.join('<w:gridCol w:w="%d"/>' % w for w in widths)
    out = ('<w:tbl><w:tblPr><w:tblStyle w:val="ReportTable"/><w:tblW w:w="%d" w:type="dxa"/>'
           '<w:jc w:val="center"/><w:tblLayout w:type="fixed"/><w:tblLook w:val="04A0" w:firstRow="1" '
           'w:lastRow="0" w:firstColumn="1" w:lastColumn="0" w:noHBand="0" w:noVBand="1"/></w:tblPr>'
           '<w:tblGrid>%s</w:tblGrid>') % (sum(widths), grid)
    for k, row in enumerate(rows):
        header = k < header_rows
        props = '<w:trPr><w:cantSplit/>%s</w:trPr>' % ('<w:tblHeader/>' if header else '')
        cells = ''
        col = 0
        for item in row:
            text, span = (item if isinstance(item, tuple) else (item, 1))
            width = sum(widths[col:col + span])
            cells += cell(text, width, bold=header, align='center' if header or len(widths) > 2 else None, span=span)
            col += span
        out += '<w:tr>%s%s</w:tr>' % (props, cells)
    return out + '</w:tbl>'


def document():
    body = ''
    # Cover.
    for _ in range(5):
        body += para('')
    body += para(None, style='Title', align='center', runs=run('基桩低应变法检测报告'))
    body += para(None, align='center', runs=run('报告编号：') + run('{{报告编号}}'))
    for _ in range(6):
        body += para('')
    for label, key in (('工程名称', '工程名称'), ('委托单位', '委托单位'), ('检测单位', '检测单位'),
                       ('检测日期', '检测日期')):
        body += para(None, style='CoverLine', runs=run(label + '：', bold=True) + run('{{%s}}' % key))

    # 1 The project: facts, ground, tested piles.
    body += para('一、工程概况', style='Heading1', page_break_before=True)
    facts = [
        ('工程名称', '{{工程名称TB}}'), ('工程地址', '{{工程地址TB}}'), ('建设单位', '{{建设单位GK}}'),
        ('勘察单位', '【待填写】'), ('设计单位', '{{设计单位TB}}'), ('监理单位', '{{监理单位TB}}'),
        ('施工单位', '{{施工单位TB}}'), ('委托单位', '{{委托单位GK}}'),
        ('基础及上部结构型式', '【待填写】'), ('桩型及规格', '【待填写：桩型、桩径、桩长、混凝土设计强度等级】'),
        ('设计要求', '【待填写：单桩承载力特征值、桩身完整性要求等】'),
        ('检测目的', '检测桩身完整性，判定桩身缺陷的程度及位置'), ('检测方法', '低应变法（反射波法）'),
        ('检测依据', '{{检测依据}}'),
        ('检测数量', '工程总桩数{{总桩数GK}}根，本次检测{{检测数TJ}}根，抽检比例{{抽检比例TJ}}%'),
        ('检测日期', '{{检测日期TB}}'), ('检测人员', '{{检测人员TB}}'), ('检测单位', '{{检测单位TB}}'),
    ]
    body += para('1.1  工程概况', style='Heading2')
    body += para('表1.1  工程概况', style='Caption', keep_next=True)
    body += table([list(f) for f in facts], [2400, TEXT_WIDTH - 2400])
    body += para('1.2  场地工程地质概况', style='Heading2')
    body += para('【待填写：场地地形地貌、岩土层分布及其物理力学性质、地下水情况，依据岩土工程勘察报告】')
    body += para('1.3  受检桩概况', style='Heading2')
    body += para('受检桩的桩号、桩径、桩长见表3.1。')
    body += para('【待填写：受检桩的桩位、成桩日期、成孔及灌注记录、充盈系数及施工中出现的异常情况】')

    # 2 Method, instruments, procedure, classes.
    body += para('二、检测方法、仪器与检测过程', style='Heading1')
    body += para('2.1  检测原理', style='Heading2')
    body += para('低应变法在桩顶施加瞬态激振，采集桩顶的速度响应时程曲线。依据一维杆件波动理论，桩身阻抗的'
                 '变化在变化处产生反射波，根据反射波的相位、到达时间和幅值，结合桩身波速，判定桩身完整性以及'
                 '缺陷的位置和程度；缺陷深度按 x = c·Δt / 2 计算，桩身波速按 c = 2L / ΔT 计算（L 为测点下桩长，'
                 'ΔT 为桩底反射波与入射波峰的时间差），也可由桩底或缺陷处相邻谐振峰间的频差 Δf 按 c = 2L·Δf 计算。')
    body += para('方法依据：{{方法依据}}；判定依据：{{判定依据}}。')
    body += para('2.2  检测仪器', style='Heading2')
    body += para('【待填写：检测仪器型号、编号、传感器类型及计量检定有效期】')
    body += para('2.3  检测过程', style='Heading2')
    body += para('受检桩桩头凿至新鲜、密实的混凝土面并磨平，传感器用耦合剂粘贴于桩顶；实心桩的激振点位于桩中心，'
                 '测点位于距桩中心2/3半径处，空心桩的激振点与测点位于壁厚的1/2处，两者与桩中心连线的夹角为90°；'
                 '根据桩径大小在桩顶布置2～4个测点，每个测点记录的有效信号不少于3个，且具有良好的一致性。')
    body += para('2.4  桩身完整性判定', style='Heading2')
    body += para('表2.1  桩身完整性分类', style='Caption', keep_next=True)
    body += table([['类别', '分类原则'],
                   ['Ⅰ', '桩身完整'],
                   ['Ⅱ', '桩身有轻微缺陷，不会影响桩身结构承载力的正常发挥'],
                   ['Ⅲ', '桩身有明显缺陷，对桩身结构承载力有影响'],
                   ['Ⅳ', '桩身存在严重缺陷']], [1400, TEXT_WIDTH - 1400], header_rows=1)

    # 3 Results: table, statistics, curves.
    body += para('三、检测结果', style='Heading1')
    body += para('3.1  检测结果汇总', style='Heading2')
    body += para('各受检桩的检测结果见表3.1，波速为分析时该桩所取的桩身波速。')
    body += para('表3.1  低应变法检测结果', style='Caption', keep_next=True)
    widths = [700, 1300, 1100, 1000, 1100, 1000, TEXT_WIDTH - 6200]
    rows = [['序号', '桩号', '桩径(mm)', '桩长(m)', '波速(m/s)', '完整性类别', '缺陷位置及描述'],
            ['{{检测结果.%d}}' % k for k in range(1, 8)]]
    body += table(rows, widths, header_rows=1)
    body += para('{{桩身波速统计}}')
    body += para('3.2  桩身完整性类别统计', style='Heading2')
    body += para('表3.2  桩身完整性类别统计', style='Caption', keep_next=True)
    body += table([['总桩数', '检测桩数', '抽检比例(%)', 'Ⅰ类桩', 'Ⅱ类桩', 'Ⅲ类桩', 'Ⅳ类桩'],
                   ['{{总桩数TJ}}', '{{检测数TJ}}', '{{抽检比例TJ}}', '{{一类数TJ}}', '{{二类数TJ}}',
                    '{{三类数TJ}}', '{{四类数TJ}}']], [1300] * 6 + [TEXT_WIDTH - 7800], header_rows=1)
    body += para('3.3  曲线说明', style='Heading2')
    body += para('各图为受检桩桩顶的实测速度时程曲线，图中标出桩头与桩底（或缺陷）的位置，并注明桩号、桩径、'
                 '桩长和所取波速；桩头至桩底的曲线长度对应桩长L，其时间跨度为2L/c。')
    body += para('信号放大：【待填写：指数或线性放大的起止范围及放大倍数；未放大时填“无”】')
    body += para('3.4  实测信号曲线', style='Heading2', keep_next=True)
    body += para('{{测点图集}}', style='Caption', align='center')

    # 4 Conclusion and signatures.
    body += para('四、检测结论', style='Heading1')
    body += para('{{检测结论TB}}')
    body += para('')
    body += para(None, runs=run('检测：') + run('{{检测人员}}') + run('        审核：【待填写】        批准：【待填写】'))

    sect = ('<w:sectPr><w:headerReference w:type="default" r:id="rIdHeader"/>'
            '<w:footerReference w:type="default" r:id="rIdFooter"/>'
            '<w:pgSz w:w="11906" w:h="16838"/><w:pgMar w:top="1440" w:right="1418" w:bottom="1440" w:left="1418" '
            'w:header="851" w:footer="851" w:gutter="0"/><w:titlePg/></w:sectPr>')
    return XML_HEAD + '<w:document %s><w:body>%s%s</w:body></w:document>' % (W_NS, body, sect)


def header():
    return (XML_HEAD + '<w:hdr %s>' % W_NS +
            para(None, style='Header', runs=run('{{检测单位H}}') + '<w:r><w:tab/></w:r>' +
                 run('报告编号：{{报告编号H}}')) + '</w:hdr>')


def field(instruction):
    return ('<w:r><w:fldChar w:fldCharType="begin"/></w:r><w:r><w:instrText xml:space="preserve"> %s </w:instrText>'
            '</w:r><w:r><w:fldChar w:fldCharType="separate"/></w:r><w:r><w:t>1</w:t></w:r>'
            '<w:r><w:fldChar w:fldCharType="end"/></w:r>' % instruction)


def footer():
    return (XML_HEAD + '<w:ftr %s>' % W_NS +
            para(None, style='Footer', align='center',
                 runs=run('{{检测单位T}}    第 ') + field('PAGE') + run(' 页 共 ') + field('NUMPAGES') + run(' 页')) +
            '</w:ftr>')


def styles():
    fonts = '<w:rFonts w:ascii="Times New Roman" w:hAnsi="Times New Roman" w:eastAsia="宋体" w:cs="Times New Roman"/>'

    def pstyle(sid, name, ppr='', rpr='', based='Normal', extra=''):
        return ('<w:style w:type="paragraph" w:customStyle="%d" w:styleId="%s"><w:name w:val="%s"/>'
                '<w:basedOn w:val="%s"/><w:next w:val="Normal"/>%s<w:qFormat/>%s%s</w:style>') % (
            0 if sid in ('Title', 'Heading1', 'Heading2', 'Caption', 'Header', 'Footer') else 1, sid, name, based,
            extra, '<w:pPr>%s</w:pPr>' % ppr if ppr else '', '<w:rPr>%s</w:rPr>' % rpr if rpr else '')
    return (XML_HEAD +
            '<w:styles xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main">'
            '<w:docDefaults><w:rPrDefault><w:rPr>%s<w:sz w:val="21"/><w:szCs w:val="21"/>'
            '<w:lang w:val="en-US" w:eastAsia="zh-CN"/></w:rPr></w:rPrDefault>'
            '<w:pPrDefault><w:pPr><w:spacing w:after="0" w:line="360" w:lineRule="auto"/></w:pPr></w:pPrDefault>'
            '</w:docDefaults>' % fonts +
            '<w:style w:type="paragraph" w:default="1" w:styleId="Normal"><w:name w:val="Normal"/><w:qFormat/>'
            '<w:pPr><w:ind w:firstLineChars="0"/><w:jc w:val="both"/></w:pPr></w:style>' +
            pstyle('Title', 'Title', '<w:spacing w:before="240" w:after="480"/><w:jc w:val="center"/>',
                   '<w:rFonts w:eastAsia="黑体"/><w:b/><w:bCs/><w:sz w:val="52"/><w:szCs w:val="52"/>') +
            pstyle('Heading1', 'heading 1', '<w:keepNext/><w:spacing w:before="240" w:after="120"/><w:outlineLvl w:val="0"/>',
                   '<w:rFonts w:eastAsia="黑体"/><w:b/><w:bCs/><w:sz w:val="28"/><w:szCs w:val="28"/>') +
            pstyle('Heading2', 'heading 2', '<w:keepNext/><w:spacing w:before="120" w:after="60"/><w:outlineLvl w:val="1"/>',
                   '<w:rFonts w:eastAsia="黑体"/><w:b/><w:bCs/><w:sz w:val="24"/><w:szCs w:val="24"/>') +
            pstyle('Caption', 'caption', '<w:spacing w:before="60" w:after="120"/><w:jc w:val="center"/>',
                   '<w:b/><w:bCs/><w:sz w:val="21"/><w:szCs w:val="21"/>') +
            pstyle('CoverLine', 'Cover Line', '<w:spacing w:before="120" w:after="120"/><w:ind w:left="1800"/>',
                   '<w:sz w:val="28"/><w:szCs w:val="28"/>') +
            pstyle('TableText', 'Table Text', '<w:spacing w:line="240" w:lineRule="auto"/>', '') +
            pstyle('Header', 'header', '<w:pBdr><w:bottom w:val="single" w:sz="4" w:space="1" w:color="auto"/></w:pBdr>'
                   '<w:tabs><w:tab w:val="right" w:pos="%d"/></w:tabs>' % TEXT_WIDTH,
                   '<w:sz w:val="18"/><w:szCs w:val="18"/>') +
            pstyle('Footer', 'footer', '<w:jc w:val="center"/>', '<w:sz w:val="18"/><w:szCs w:val="18"/>') +
            '<w:style w:type="table" w:default="1" w:styleId="TableNormal"><w:name w:val="Normal Table"/>'
            '<w:tblPr><w:tblInd w:w="0" w:type="dxa"/><w:tblCellMar><w:top w:w="0" w:type="dxa"/>'
            '<w:left w:w="108" w:type="dxa"/><w:bottom w:w="0" w:type="dxa"/><w:right w:w="108" w:type="dxa"/>'
            '</w:tblCellMar></w:tblPr></w:style>'
            '<w:style w:type="table" w:customStyle="1" w:styleId="ReportTable"><w:name w:val="Report Table"/>'
            '<w:basedOn w:val="TableNormal"/><w:tblPr><w:tblBorders>'
            '<w:top w:val="single" w:sz="4" w:space="0" w:color="auto"/>'
            '<w:left w:val="single" w:sz="4" w:space="0" w:color="auto"/>'
            '<w:bottom w:val="single" w:sz="4" w:space="0" w:color="auto"/>'
            '<w:right w:val="single" w:sz="4" w:space="0" w:color="auto"/>'
            '<w:insideH w:val="single" w:sz="4" w:space="0" w:color="auto"/>'
            '<w:insideV w:val="single" w:sz="4" w:space="0" w:color="auto"/>'
            '</w:tblBorders></w:tblPr></w:style>'
            '</w:styles>')


CONTENT_TYPES = (XML_HEAD +
                 '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
                 '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
                 '<Default Extension="xml" ContentType="application/xml"/>'
                 '<Override PartName="/word/document.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/>'
                 '<Override PartName="/word/styles.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.styles+xml"/>'
                 '<Override PartName="/word/settings.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.settings+xml"/>'
                 '<Override PartName="/word/header1.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.header+xml"/>'
                 '<Override PartName="/word/footer1.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.footer+xml"/>'
                 '<Override PartName="/docProps/core.xml" ContentType="application/vnd.openxmlformats-package.core-properties+xml"/>'
                 '<Override PartName="/docProps/app.xml" ContentType="application/vnd.openxmlformats-officedocument.extended-properties+xml"/>'
                 '</Types>')

PACKAGE_RELS = (XML_HEAD +
                '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
                '<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="word/document.xml"/>'
                '<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties" Target="docProps/core.xml"/>'
                '<Relationship Id="rId3" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/extended-properties" Target="docProps/app.xml"/>'
                '</Relationships>')

DOCUMENT_RELS = (XML_HEAD +
                 '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
                 '<Relationship Id="rIdStyles" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="styles.xml"/>'
                 '<Relationship Id="rIdSettings" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/settings" Target="settings.xml"/>'
                 '<Relationship Id="rIdHeader" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/header" Target="header1.xml"/>'
                 '<Relationship Id="rIdFooter" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/footer" Target="footer1.xml"/>'
                 '</Relationships>')

SETTINGS = (XML_HEAD +
            '<w:settings xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main">'
            '<w:updateFields w:val="true"/><w:defaultTabStop w:val="420"/>'
            '<w:characterSpacingControl w:val="compressPunctuation"/><w:compat/></w:settings>')

CORE = (XML_HEAD +
        '<cp:coreProperties xmlns:cp="http://schemas.openxmlformats.org/package/2006/metadata/core-properties" '
        'xmlns:dc="http://purl.org/dc/elements/1.1/" xmlns:dcterms="http://purl.org/dc/terms/" '
        'xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">'
        '<dc:title>基桩低应变法检测报告</dc:title><dc:creator>TAV Analyser</dc:creator>'
        '<dcterms:created xsi:type="dcterms:W3CDTF">2024-01-01T00:00:00Z</dcterms:created>'
        '</cp:coreProperties>')

APP = (XML_HEAD +
       '<Properties xmlns="http://schemas.openxmlformats.org/officeDocument/2006/extended-properties">'
       '<Application>TAV Analyser</Application></Properties>')


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, 'data', 'Report.docx')
    members = [
        ('[Content_Types].xml', CONTENT_TYPES), ('_rels/.rels', PACKAGE_RELS),
        ('docProps/core.xml', CORE), ('docProps/app.xml', APP),
        ('word/document.xml', document()), ('word/_rels/document.xml.rels', DOCUMENT_RELS),
        ('word/styles.xml', styles()), ('word/settings.xml', SETTINGS),
        ('word/header1.xml', header()), ('word/footer1.xml', footer()),
    ]
    with zipfile.ZipFile(target, 'w', zipfile.ZIP_DEFLATED) as z:
        for name, text in members:
            info = zipfile.ZipInfo(name, date_time=(2024, 1, 1, 0, 0, 0))
            info.compress_type = zipfile.ZIP_DEFLATED
            z.writestr(info, text.encode('utf-8'))


if __name__ == '__main__':
    main()
