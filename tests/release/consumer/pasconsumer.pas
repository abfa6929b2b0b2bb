{ pasconsumer - twconsumer's twin in Free Pascal (Delphi mode), on
  twreader.dll through the receiver guide's unit TwReader. It serves its two
  tuners (device type 1, indexes 2 and 3): it handles the job it was started
  with, then every job that reaches a tuner through the mailbox, and writes
  each to its log (pasconsumer.exe.log beside it), until
  "pasconsumer --stop" asks it to end. "pasconsumer --schedule <tickward
  path>" schedules a recording, prints how TwListTasks shows it, and
  removes it. }
program pasconsumer;

{$MODE DELPHI}
{$APPTYPE CONSOLE}

uses
  Windows, TwReader;

const
  TUNER_COUNT = 2;
  STOP_EVENT = 'TwConsumerStop';
  TunerIndex: array[0..TUNER_COUNT - 1] of LongInt = (2, 3);
  TunerName: array[0..TUNER_COUNT - 1] of AnsiString = ('tuner 1', 'tuner 2');

var
  Log: Text;
  LogLock: TRTLCriticalSection;   { the tuners' threads write one line at a time }

procedure WriteLog(const Line: AnsiString);
begin
  Windows.EnterCriticalSection(LogLock);
  WriteLn(Log, Line);
  Flush(Log);
  Windows.LeaveCriticalSection(LogLock);
end;

function IntText(N: Int64): AnsiString;
begin
  Str(N, Result);
end;

procedure PrintJob(const Source: AnsiString; const Job: TTwJob);
begin
  WriteLog('job from ' + Source + ': devices="' + Job.pszDevices + '" type=' + IntText(Job.nDeviceType)
    + ' index=' + IntText(Job.nDeviceIndex) + ' P="' + Job.pszProduct + '" D=' + IntText(Job.nD)
    + ' Key="' + Job.pszKey + '" File="' + Job.pszFile + '" FM=' + IntText(Job.nFM) + ' TO='
    + IntText(Job.nTO) + ' SO=' + IntText(Job.nSO) + ' EO=' + IntText(Job.nEO));
end;

{ On the tuner's reader thread; the context is the tuner's number. }
procedure OnJob(pJob: PTwJob; pvContext: Pointer); stdcall;
begin
  PrintJob(TunerName[PtrUInt(pvContext)], pJob^);
end;

procedure Serve(hStop: THandle);
var
  Tuner: array[0..TUNER_COUNT - 1] of HTWDEVICE;
  Job: TTwJob;
  Version: LongWord;
  I: Integer;
begin
  Version := TwGetVersion;
  WriteLog('twreader ' + IntText(Version shr 16) + '.' + IntText((Version shr 8) and $FF) + '.'
    + IntText(Version and $FF));
  FillChar(Job, SizeOf(Job), 0);
  Job.cbSize := SizeOf(Job);
  if TwReadCommandLineJob(GetCommandLineA, Job) = TW_OK then
  begin
    PrintJob('the command line', Job);
    TwReleaseJob(Job);
  end;
  for I := 0 to TUNER_COUNT - 1 do
    WriteLog(TunerName[I] + ': serving device type 1, index ' + IntText(TunerIndex[I]) + ': '
      + IntText(TwServeDevice(1, TunerIndex[I], OnJob, Pointer(PtrUInt(I)), Tuner[I])));
  WaitForSingleObject(hStop, INFINITE);
  for I := 0 to TUNER_COUNT - 1 do
    WriteLog(TunerName[I] + ': stopped: ' + IntText(TwStopDevice(Tuner[I])));
end;

{ Each result, and the task as listed; exit code 0 when every call did its part. }
procedure ScheduleAndRemove(const Tickward: AnsiString);
const
  NAME = 'Tickward test\pascal recording';
  JOB = '"C:\TV\tvapp.exe";010102;P: _SEL;D: 5;Key: ;File: "D:\Rec\pascal.ts";FM: 1;TO: 1;SO: 0;EO: 0';
var
  Tasks: array of TTwTask;
  Count, I: LongWord;
  Scheduled, Listed, Removed: TWRESULT;
  Found: Boolean;
begin
  TwRemoveTask(NAME);
  Scheduled := TwScheduleRecording(NAME, '2099-12-24 20:15', PAnsiChar(Tickward), JOB);
  Count := 0;
  TwListTasks(nil, 0, Count);
  SetLength(Tasks, Count + 1);
  Tasks[0].cbSize := SizeOf(TTwTask);
  Listed := TwListTasks(@Tasks[0], Count + 1, Count);
  Found := False;
  for I := 0 to Count - 1 do
    if AnsiString(Tasks[I].szName) = NAME then
    begin
      Found := True;
      WriteLn('listed: ', Tasks[I].szName, ' kind ', Tasks[I].nKind, ' next ', Tasks[I].stNextStart.wYear, '-',
        Tasks[I].stNextStart.wMonth, '-', Tasks[I].stNextStart.wDay, ' ', Tasks[I].stNextStart.wHour, ':',
        Tasks[I].stNextStart.wMinute, ' ', Tasks[I].szRepeat, ' device ', Tasks[I].nDeviceType, '.',
        Tasks[I].nDeviceIndex, ' file ', Tasks[I].szFile, ' wakes ', Tasks[I].bWakes);
    end;
  Removed := TwRemoveTask(NAME);
  WriteLn('scheduled: ', Scheduled, ' listed: ', Listed, ' removed: ', Removed, ' removed again: ', TwRemoveTask(NAME));
  if (Scheduled = TW_OK) and (Listed = TW_OK) and Found and (Removed = TW_OK) then
    Halt(0);
  Halt(1);
end;

var
  hStop: THandle;
begin
  if (ParamCount = 2) and (ParamStr(1) = '--schedule') then
    ScheduleAndRemove(ParamStr(2));
  if (ParamCount = 1) and (ParamStr(1) = '--stop') then
  begin
    hStop := OpenEventA(EVENT_MODIFY_STATE, False, STOP_EVENT);
    if (hStop <> 0) and SetEvent(hStop) then
      Halt(0);
    Halt(1);
  end;
  hStop := CreateEventA(nil, True, False, STOP_EVENT);
  Windows.InitializeCriticalSection(LogLock);
  Assign(Log, ParamStr(0) + '.log');
  {$I-} Append(Log); {$I+}
  if IOResult <> 0 then
    Rewrite(Log);
  Serve(hStop);
  Close(Log);
  CloseHandle(hStop);
end.
