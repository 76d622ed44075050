// The commands of xqprog, one function each, with the options each takes.
#pragma once

#include "clioptions.h"

// list, info, reset
int CmdList(CliContext& ctx);
int CmdInfo(CliContext& ctx);
int CmdReset(CliContext& ctx);

// write, erase, read
QList<QCommandLineOption> WriteOptions();
QList<QCommandLineOption> EraseOptions();
QList<QCommandLineOption> ReadOptions();
int CmdWrite(CliContext& ctx);
int CmdErase(CliContext& ctx);
int CmdRead(CliContext& ctx);

// verify, blank
QList<QCommandLineOption> VerifyOptions();
QList<QCommandLineOption> BlankOptions();
int CmdVerify(CliContext& ctx);
int CmdBlank(CliContext& ctx);

// static write, static read, static template
QList<QCommandLineOption> StaticWriteOptions();
QList<QCommandLineOption> StaticReadOptions();
int CmdStaticWrite(CliContext& ctx);
int CmdStaticRead(CliContext& ctx);
int CmdStaticTemplate(CliContext& ctx);

// job create, job show, run
QList<QCommandLineOption> JobCreateOptions();
int CmdJobCreate(CliContext& ctx);
int CmdJobShow(CliContext& ctx);
int CmdRun(CliContext& ctx);

// No options of its own.
inline QList<QCommandLineOption> NoOptions()
{
    return {};
}
