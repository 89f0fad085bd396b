{ Compiles the unit and one call of each declaration (fpc -s: no linking). }
program UsesVeltrane;

{$IFDEF FPC}{$MODE DELPHI}{$ENDIF}

uses Veltrane;

procedure OnHostEvent(HostEvent: PAnsiChar); stdcall;
begin
  WriteLn(HostEvent);
end;

begin
  if ParamCount = 99 then
  begin
    DLL_START('C:\Veltrane\', 'Host', OnHostEvent);
    CERTIFICATION_NO('0212345678');
    CERTIFICATION_OTHER;
    CERTIFICATION_PC('0212345678', '123456');
    PC_LOGIN('0212345678', 'agent', 'secret');
    PC_LOGOUT;
    DIAL('01012345678');
    PICK_UP('01012345678');
    HANG_UP('01012345678');
    RE_DIAL;
    SMS_INSTANT('01012345678', 'hello');
    SMS_BOOKED('01012345678', 'hello', '202601151000');
    CALL_RECORD('01012345678');
    WEB_REQUEST('CL', '0212345678', '', '');
    DLL_FINISH;
  end;
end.
