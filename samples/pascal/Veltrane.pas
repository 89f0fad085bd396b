{ Declarations of veltrane.dll for Delphi and Free Pascal.

  Rules that matter:
  - Every export and the callback are stdcall. Delphi's default convention
    (register) passes arguments in registers and corrupts the stack here.
  - String parameters are WideString, which Delphi and Free Pascal (on
    Windows) pass as a BSTR. Not string, AnsiString or PChar.
  - The callback receives 8-bit text in the ANSI code page (PAnsiChar),
    valid only during the call; copy it (string(HostEvent)) to keep it.
  - The callback must not raise: wrap its body in try..except. The 64-bit
    library catches an exception that leaves it (logged once as "NotifyHost
    => host callback threw exception 0x0EEDFADE") and goes on; through the
    32-bit library it would unwind past code that must not be skipped.
  - A 32-bit program loads bin\x86\veltrane.dll, a 64-bit one bin\x64.
  - Call DLL_START from the main (VCL/LCL) thread: events arrive through its
    message loop. }
unit Veltrane;

{$IFDEF FPC}{$MODE DELPHI}{$ENDIF}

interface

type
  TVeltraneCallback = procedure(HostEvent: PAnsiChar); stdcall;

procedure DLL_START(BasePath, WindowTitle: WideString; Callback: TVeltraneCallback); stdcall;
{ Ends the host process (exit code 1) when it succeeds. }
procedure DLL_FINISH; stdcall;
procedure CERTIFICATION_NO(PhoneNo: WideString); stdcall;
procedure CERTIFICATION_OTHER; stdcall;
procedure CERTIFICATION_PC(PhoneNo, CertificationNo: WideString); stdcall;
procedure PC_LOGIN(PhoneNo, LoginId, Password: WideString); stdcall;
procedure PC_LOGOUT; stdcall;
procedure DIAL(Number: WideString); stdcall;
procedure PICK_UP(GuestPhone: WideString); stdcall;
procedure HANG_UP(GuestPhone: WideString); stdcall;
procedure RE_DIAL; stdcall;
procedure SMS_INSTANT(CalledNo, Message: WideString); stdcall;
procedure SMS_BOOKED(CalledNo, Message, SendTime: WideString); stdcall;
procedure CALL_RECORD(PhoneNo: WideString); stdcall;
procedure WEB_REQUEST(Kind, PhoneNo, GuestPhone, SmsMessage: WideString); stdcall;

implementation

const
  VeltraneDll = 'veltrane.dll';

procedure DLL_START; external VeltraneDll name 'DLL_START';
procedure DLL_FINISH; external VeltraneDll name 'DLL_FINISH';
procedure CERTIFICATION_NO; external VeltraneDll name 'CERTIFICATION_NO';
procedure CERTIFICATION_OTHER; external VeltraneDll name 'CERTIFICATION_OTHER';
procedure CERTIFICATION_PC; external VeltraneDll name 'CERTIFICATION_PC';
procedure PC_LOGIN; external VeltraneDll name 'PC_LOGIN';
procedure PC_LOGOUT; external VeltraneDll name 'PC_LOGOUT';
procedure DIAL; external VeltraneDll name 'DIAL';
procedure PICK_UP; external VeltraneDll name 'PICK_UP';
procedure HANG_UP; external VeltraneDll name 'HANG_UP';
procedure RE_DIAL; external VeltraneDll name 'RE_DIAL';
procedure SMS_INSTANT; external VeltraneDll name 'SMS_INSTANT';
procedure SMS_BOOKED; external VeltraneDll name 'SMS_BOOKED';
procedure CALL_RECORD; external VeltraneDll name 'CALL_RECORD';
procedure WEB_REQUEST; external VeltraneDll name 'WEB_REQUEST';

end.
