<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>ConfirmDelete</name>
    <message>
        <source>Confirm</source>
        <translation>确认</translation>
    </message>
    <message>
        <source>Delete record?</source>
        <translation>确定删除当前记录吗？</translation>
    </message>
</context>
<context>
    <name>Database</name>
    <message>
        <source>Cannot perform this operation on a closed dataset</source>
        <translation>数据集已关闭，不能执行此操作</translation>
    </message>
    <message>
        <source>Cannot modify a read-only dataset</source>
        <translation>数据集为只读，不能修改</translation>
    </message>
    <message>
        <source>Dataset not in edit or insert mode</source>
        <translation>数据集不在编辑或插入状态</translation>
    </message>
    <message>
        <source>Cannot perform this operation on an empty dataset</source>
        <translation>数据集为空，不能执行此操作</translation>
    </message>
    <message>
        <source>Field &apos;%s&apos; cannot be modified</source>
        <translation>字段“%s”不能修改</translation>
    </message>
    <message>
        <source>Field &apos;%s&apos; must have a value</source>
        <translation>“%s”不能为空</translation>
    </message>
    <message>
        <source>&apos;%s&apos; is not a valid integer value for field &apos;%s&apos;</source>
        <translation>“%s”不是字段“%s”的有效整数</translation>
    </message>
    <message>
        <source>%s is not a valid value for field &apos;%s&apos;. The allowed range is %s to %s</source>
        <translation>%s 不是字段“%s”的有效值。允许的范围是 %s 至 %s</translation>
    </message>
    <message>
        <source>&apos;%s&apos; is not a valid date</source>
        <translation>“%s”不是有效的日期</translation>
    </message>
    <message>
        <source>&apos;%s&apos; is not a valid integer value</source>
        <translation>“%s”不是有效的整数</translation>
    </message>
    <message>
        <source>Invalid value for field &apos;%s&apos;</source>
        <translation>字段“%s”的值无效</translation>
    </message>
    <message>
        <source>Field &apos;%s&apos; not found</source>
        <translation>找不到字段“%s”</translation>
    </message>
    <message>
        <source>Type mismatch for field &apos;%s&apos;, expecting: %s actual: %s</source>
        <translation>字段“%s”的类型不匹配，应为：%s，实际为：%s</translation>
    </message>
    <message>
        <source>Cannot access field &apos;%s&apos; as type %s</source>
        <translation>字段“%s”不能按 %s 类型访问</translation>
    </message>
    <message>
        <source>Record not found</source>
        <translation>找不到记录</translation>
    </message>
    <message>
        <source>An error occurred while attempting to initialize the database engine (error $%s)</source>
        <translation>初始化数据库引擎时出错（错误 $%s）</translation>
    </message>
    <message>
        <source>Database engine error $%s</source>
        <translation>数据库引擎错误 $%s</translation>
    </message>
    <message>
        <source>Arithmetic in filter expressions not supported</source>
        <translation>筛选条件中不能使用算术运算</translation>
    </message>
    <message>
        <source>Invalid filter expression character: &apos;%s&apos;</source>
        <translation>筛选条件中有无效字符：“%s”</translation>
    </message>
    <message>
        <source>Filter expression incorrectly terminated</source>
        <translation>筛选条件结尾不完整</translation>
    </message>
    <message>
        <source>Type mismatch in expression</source>
        <translation>表达式中的类型不匹配</translation>
    </message>
    <message>
        <source>Success</source>
        <translation>成功</translation>
    </message>
    <message>
        <source>Disk read or write error</source>
        <translation>磁盘读写错误</translation>
    </message>
    <message>
        <source>Disk is full</source>
        <translation>磁盘已满</translation>
    </message>
    <message>
        <source>File is not a table of this engine</source>
        <translation>该文件不是本数据库引擎的表</translation>
    </message>
    <message>
        <source>Table is damaged</source>
        <translation>表已损坏</translation>
    </message>
    <message>
        <source>File or directory does not exist</source>
        <translation>文件或目录不存在</translation>
    </message>
    <message>
        <source>The engine library could not be loaded</source>
        <translation>无法加载数据库引擎库</translation>
    </message>
    <message>
        <source>At beginning of table</source>
        <translation>已到表的开头</translation>
    </message>
    <message>
        <source>At end of table</source>
        <translation>已到表的末尾</translation>
    </message>
    <message>
        <source>No current record</source>
        <translation>没有当前记录</translation>
    </message>
    <message>
        <source>Could not find record</source>
        <translation>找不到记录</translation>
    </message>
    <message>
        <source>Record was deleted by another user</source>
        <translation>记录已被其他用户删除</translation>
    </message>
    <message>
        <source>Not enough memory for this operation</source>
        <translation>内存不足，无法完成此操作</translation>
    </message>
    <message>
        <source>Buffer too small for the value</source>
        <translation>缓冲区太小，容纳不下该值</translation>
    </message>
    <message>
        <source>Key violation</source>
        <translation>键值重复</translation>
    </message>
    <message>
        <source>Field value required</source>
        <translation>字段必须有值</translation>
    </message>
    <message>
        <source>A validity check of the table failed</source>
        <translation>未通过表的有效性检查</translation>
    </message>
    <message>
        <source>Record locked by another user</source>
        <translation>记录已被其他用户锁定</translation>
    </message>
    <message>
        <source>Table is busy</source>
        <translation>表正忙</translation>
    </message>
    <message>
        <source>Record is not locked</source>
        <translation>记录未被锁定</translation>
    </message>
    <message>
        <source>Insufficient rights: a password is required</source>
        <translation>权限不足：需要输入密码</translation>
    </message>
    <message>
        <source>Invalid handle</source>
        <translation>无效的句柄</translation>
    </message>
    <message>
        <source>Invalid parameter</source>
        <translation>无效的参数</translation>
    </message>
    <message>
        <source>Engine not started</source>
        <translation>数据库引擎尚未启动</translation>
    </message>
    <message>
        <source>Field number out of range</source>
        <translation>字段序号超出范围</translation>
    </message>
    <message>
        <source>No more entries</source>
        <translation>没有更多条目</translation>
    </message>
    <message>
        <source>Engine already started</source>
        <translation>数据库引擎已经启动</translation>
    </message>
    <message>
        <source>Interface version not supported</source>
        <translation>不支持该接口版本</translation>
    </message>
    <message>
        <source>Table cannot be opened for writing</source>
        <translation>无法以写入方式打开表</translation>
    </message>
    <message>
        <source>Table is read only</source>
        <translation>表为只读</translation>
    </message>
    <message>
        <source>Handles are still open</source>
        <translation>仍有句柄未关闭</translation>
    </message>
    <message>
        <source>Internal error in the engine</source>
        <translation>数据库引擎内部错误</translation>
    </message>
    <message>
        <source>Capability not supported</source>
        <translation>不支持该功能</translation>
    </message>
    <message>
        <source>Index does not exist</source>
        <translation>索引不存在</translation>
    </message>
    <message>
        <source>Index kind not supported</source>
        <translation>不支持该索引类型</translation>
    </message>
    <message>
        <source>Column of an unknown kind</source>
        <translation>列的类型未知</translation>
    </message>
    <message>
        <source>Invalid query syntax</source>
        <translation>查询语法错误</translation>
    </message>
    <message>
        <source>Field in query does not exist</source>
        <translation>查询中的字段不存在</translation>
    </message>
    <message>
        <source>Table in query does not exist</source>
        <translation>查询中的表不存在</translation>
    </message>
    <message>
        <source>General query error</source>
        <translation>查询出错</translation>
    </message>
    <message>
        <source>The engine&apos;s environment could not be set up</source>
        <translation>无法建立数据库引擎的运行环境</translation>
    </message>
    <message>
        <source>A page of the protected table file failed its check: the file is damaged or was altered</source>
        <translation>受保护的表文件有一页未通过校验：文件已损坏或被改动</translation>
    </message>
    <message>
        <source>Table: %s</source>
        <translation>表：%s</translation>
    </message>
    <message>
        <source>Field: %s</source>
        <translation>字段：%s</translation>
    </message>
    <message>
        <source>Index: %s</source>
        <translation>索引：%s</translation>
    </message>
    <message>
        <source>Record: %s</source>
        <translation>记录号：%s</translation>
    </message>
    <message>
        <source>Directory: %s</source>
        <translation>目录：%s</translation>
    </message>
    <message>
        <source>Version: %s</source>
        <translation>版本：%s</translation>
    </message>
    <message>
        <source>The connection to the database server was lost while a change was being saved: whether it was saved is unknown. Refresh to see the stored records</source>
        <translation>保存修改时与数据库服务器的连接中断，无法确定修改是否已保存。请刷新以查看已保存的记录</translation>
    </message>
    <message>
        <source>The database server cannot be reached</source>
        <translation>无法连接数据库服务器</translation>
    </message>
    <message>
        <source>The connection to the database server was lost while the record was being edited: edit it again</source>
        <translation>编辑记录时与数据库服务器的连接中断，请重新编辑</translation>
    </message>
</context>
<context>
    <name>QLineEdit</name>
    <message>
        <source>&amp;Undo</source>
        <translation>撤销(&amp;U)</translation>
    </message>
    <message>
        <source>Cu&amp;t</source>
        <translation>剪切(&amp;T)</translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation>复制(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;Paste</source>
        <translation>粘贴(&amp;P)</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>删除</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>全选</translation>
    </message>
</context>
<context>
    <name>TApplication</name>
    <message>
        <source>Application Error</source>
        <translation>应用程序错误</translation>
    </message>
    <message>
        <source>.</source>
        <extracomment>The full stop that closes a failure message; never added after itself.</extracomment>
        <translation>。</translation>
    </message>
    <message>
        <source>Exception %1 in module %2 at %3.</source>
        <translation>模块 %2 中地址 %3 处发生异常 %1。</translation>
    </message>
</context>
<context>
    <name>TDBMemo</name>
    <message>
        <source>Text exceeds memo capacity</source>
        <translation>文本超出备注的容量</translation>
    </message>
</context>
<context>
    <name>TPasswordDialog</name>
    <message>
        <source>Enter password</source>
        <translation>输入密码</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>密码</translation>
    </message>
    <message>
        <source>&amp;Add</source>
        <translation>添加(&amp;A)</translation>
    </message>
    <message>
        <source>&amp;Remove</source>
        <translation>删除(&amp;R)</translation>
    </message>
    <message>
        <source>Re&amp;move all</source>
        <translation>全部删除(&amp;M)</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>确定(&amp;O)</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
</context>
</TS>
