<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>kestavo::core::MainForm</name>
    <message>
        <source>&amp;Monitor</source>
        <translation>&amp;Überwachung</translation>
    </message>
    <message>
        <source>&amp;Trends</source>
        <translation>&amp;Verläufe</translation>
    </message>
    <message>
        <source>&amp;Fleet</source>
        <translation>&amp;Flotte</translation>
    </message>
    <message>
        <source>&amp;Alarms</source>
        <translation>&amp;Alarme</translation>
    </message>
    <message>
        <source>A&amp;udit log</source>
        <translation>&amp;Prüfprotokoll</translation>
    </message>
    <message>
        <source>&amp;Back up...</source>
        <translation>&amp;Sichern...</translation>
    </message>
    <message>
        <source>&amp;Compare...</source>
        <translation>Ver&amp;gleichen...</translation>
    </message>
    <message>
        <source>&amp;Restore...</source>
        <translation>&amp;Wiederherstellen...</translation>
    </message>
</context>
</TS>
