<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ru_RU">
<context>
    <name>Charts</name>
    <message>
        <source>Напряжение АСС   </source>
        <translation>ACC voltage   </translation>
    </message>
    <message>
        <source>Напряжение АТХ</source>
        <translation>ATX voltage</translation>
    </message>
    <message>
        <source>Температура</source>
        <translation>Temperature</translation>
    </message>
</context>
<context>
    <name>Greeting</name>
    <message>
        <source>От автора программы</source>
        <translation>From the author</translation>
    </message>
    <message>
        <source>Сегодня 12 октября, и я хочу просто сказать вам спасибо за то, что вы пользуетесь этой программой.
Хороших вам дорог, тёплых дней и любимой музыки в пути!</source>
        <translation>Today is the 12th of October, and I just want to thank you for using this program.
Have good roads, warm days and your favourite music on the way!</translation>
    </message>
</context>
<context>
    <name>KeyCodesInfo</name>
    <message>
        <source>Коды мультимедийных клавиш</source>
        <translation>Multimedia key codes</translation>
    </message>
    <message>
        <source>Вы можете вручную изменить параметр</source>
        <translation>You may change the parameter</translation>
    </message>
    <message>
        <source>Valume (Val) в файле Control.ini</source>
        <translation>Value (Val) in Control.ini by hand</translation>
    </message>
    <message>
        <source>Val описание</source>
        <translation>Val description</translation>
    </message>
    <message>
        <source>173 приглушение</source>
        <translation>173 mute</translation>
    </message>
    <message>
        <source>174 громкость -</source>
        <translation>174 volume -</translation>
    </message>
    <message>
        <source>175 громкость +</source>
        <translation>175 volume +</translation>
    </message>
    <message>
        <source>176 следующий трек</source>
        <translation>176 next track</translation>
    </message>
    <message>
        <source>177 предыдущий трек</source>
        <translation>177 previous track</translation>
    </message>
    <message>
        <source>178 стоп</source>
        <translation>178 stop</translation>
    </message>
    <message>
        <source>179 плей/пауза</source>
        <translation>179 play/pause</translation>
    </message>
    <message>
        <source>181 открыть плеер</source>
        <translation>181 open the player</translation>
    </message>
    <message>
        <source> 95 спящий режим</source>
        <translation> 95 sleep</translation>
    </message>
    <message>
        <source>Клавиша не распознана. Её код можно вписать вручную в параметр Value файла Control.ini.</source>
        <translation>Key not recognised. Its code can be written by hand into the Value parameter in Control.ini.</translation>
    </message>
</context>
<context>
    <name>ParameterForm</name>
    <message>
        <source>Один или несколько параметров введены с ошибками.<byte value="xd"/>
Исправлены и записаны значения по-умолчанию.</source>
        <translation>One or more parameters were entered with errors.<byte value="xd"/>
They have been corrected and written with their default values.</translation>
    </message>
</context>
<context>
    <name>StatusBar</name>
    <message>
        <source>Устройство не подключалось</source>
        <translation>Device never connected</translation>
    </message>
    <message>
        <source>Устройство подключено</source>
        <translation>Device connected</translation>
    </message>
    <message>
        <source>Устройство отключено</source>
        <translation>Device disconnected</translation>
    </message>
    <message>
        <source>Нет доступа к %1</source>
        <translation>No access to %1</translation>
    </message>
</context>
<context>
    <name>TForm1</name>
    <message>
        <source>Напряжение АСС</source>
        <translation>ACC voltage</translation>
    </message>
    <message>
        <source>Напряжение АTX</source>
        <translation>ATX voltage</translation>
    </message>
    <message>
        <source>Температура</source>
        <translation>Temperature</translation>
    </message>
    <message>
        <source>U1 - Минимально возможное напряжение запуска/работы системы, В ...............

T1 - Минимально возможная температура запуска системы, грд. С .....................

N1 - Время ожидания запуска БП (появления напряжения на входе
&quot;АТХ IN&quot; не менее времени запуска БП), с ..............................................................

N2 - Время включения усилителя, с ..........................................................................

N3 - Время до начала выключения системы при понижении напряжения
на входе &quot;ACC IN&quot; ниже U1 (просадка напряжения в бортовой сети), с ...............

N4 - Время ожидания выключения БП (пропадания напряжения на входе
&quot;ATX IN&quot; не менее времени выключения БП + время завершения работы ОС), с

N5 - Время до начала выключения системы при пропадании напряжения
на входе &quot;ACC IN&quot;, c ...................................................................................................</source>
        <translation>U1 - Lowest voltage at which the system may start/run, V ........................................................................................................................

T1 - Lowest temperature at which the system may start, deg. C ........................................................................................................................

N1 - Time to wait for the power supply to start (voltage at the
&quot;ATX IN&quot; input; not less than the PSU&apos;s start time), s ........................................................................................................................

N2 - Time to switch the amplifier on, s ........................................................................................................................

N3 - Time before the system shuts down when the voltage at the
&quot;ACC IN&quot; input falls below U1 (a sag in the car&apos;s supply), s ........................................................................................................................

N4 - Time to wait for the power supply to stop (no voltage at the
&quot;ATX IN&quot; input; not less than PSU stop time + OS shutdown time), s

N5 - Time before the system shuts down when the voltage at the
&quot;ACC IN&quot; input is gone, s ........................................................................................................................</translation>
    </message>
    <message>
        <source>Игнорировать температуру</source>
        <translation>Ignore the temperature</translation>
    </message>
    <message>
        <source>Кнопка MB SW:</source>
        <translation>MB SW button:</translation>
    </message>
    <message>
        <source>Пауза перед &quot;нажатием&quot;, мс</source>
        <translation>Pause before &quot;press&quot;, ms</translation>
    </message>
    <message>
        <source>Длительность &quot;нажатия&quot;, мс</source>
        <translation>Length of &quot;press&quot;, ms</translation>
    </message>
    <message>
        <source>Кнопка MNT SW:</source>
        <translation>MNT SW button:</translation>
    </message>
    <message>
        <source>Кнопка MNT SRS:</source>
        <translation>MNT SRS button:</translation>
    </message>
    <message>
        <source>Пауза между &quot;нажатиями&quot;, мс</source>
        <translation>Pause between &quot;presses&quot;, ms</translation>
    </message>
    <message>
        <source>Количество &quot;нажатий&quot; X</source>
        <translation>Number of &quot;presses&quot; X</translation>
    </message>
    <message>
        <source>Количество &quot;нажатий&quot; Y</source>
        <translation>Number of &quot;presses&quot; Y</translation>
    </message>
    <message>
        <source>Прочитать</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>Записать</source>
        <translation>Write</translation>
    </message>
    <message>
        <source> J.Code   Shift  Ctrl   Alt     Sym    Val     описание</source>
        <translation> J.Code   Shift  Ctrl   Alt     Sym    Val     description</translation>
    </message>
    <message>
        <source>1) Установите курсор в поле Joy Code.
2) Нажмите на джойстике кнопку (поле Joy Code получит значение).
3) Определите сочетание системных клавиш (Shift, Ctrl, Alt).
4) Установите курсор в поле Sym и нажмите кнопку на клавиатуре
    (в поле Sym пропишется изображение системного символа).
5) Поле Val не редактируется; содержит код виртуальной клавиши.
6) При необходимости отредактируйте описание комбинации кнопок.</source>
        <translation>1) Put the cursor into the Joy Code field.
2) Press the wheel button (the Joy Code field gets its value).
3) Choose the combination of system keys (Shift, Ctrl, Alt).
4) Put the cursor into the Sym field and press the wanted key
    (the Sym field shows the picture of the system symbol).
5) The Val field is not editable; it holds the virtual key code.
6) Edit the description of the key combination if needed.</translation>
    </message>
    <message>
        <source>Развернуть</source>
        <translation>Restore</translation>
    </message>
    <message>
        <source>Свернуть</source>
        <translation>Hide</translation>
    </message>
    <message>
        <source>Выход</source>
        <translation>Exit</translation>
    </message>
</context>
<context>
    <name>app::Application</name>
    <message>
        <source>Да</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>Нет</source>
        <translation>No</translation>
    </message>
    <message>
        <source>Настройки не сохранены. Завершить программу без сохранения?</source>
        <translation>The settings were not saved. End the program without saving them?</translation>
    </message>
    <message>
        <source>Кнопки руля уже переводит в нажатия клавиш drevonix-cli keys. Второй экземпляр нажимал бы каждую клавишу дважды, поэтому программа закрывается.

Чтобы работать с окном, остановите его: systemctl --user stop drevonix-keys.</source>
        <translation>drevonix-cli keys turns the wheel buttons into keystrokes already. A second one would press every key twice, so the program ends.

To work with the window, stop it: systemctl --user stop drevonix-keys.</translation>
    </message>
    <message>
        <source>Кнопки руля уже переводит в нажатия клавиш drevonix-cli keys (процесс %1). Второй экземпляр нажимал бы каждую клавишу дважды, поэтому программа закрывается.

Чтобы работать с окном, остановите его: %2.</source>
        <translation>drevonix-cli keys (process %1) turns the wheel buttons into keystrokes already. A second one would press every key twice, so the program ends.

To work with the window, stop it: %2.</translation>
    </message>
</context>
<context>
    <name>demo::SimulatorWindow</name>
    <message>
        <source>Игнор. T</source>
        <translation>Ignore T</translation>
    </message>
    <message>
        <source>Симулятор контроллера</source>
        <translation>Controller simulator</translation>
    </message>
    <message>
        <source>Подключены</source>
        <translation>Plugged in</translation>
    </message>
    <message>
        <source>Контроллер 04D8:003F</source>
        <translation>Controller 04D8:003F</translation>
    </message>
    <message>
        <source>Другое HID-устройство 046D:C52B</source>
        <translation>Other HID device 046D:C52B</translation>
    </message>
    <message>
        <source>Телеметрия</source>
        <translation>Telemetry</translation>
    </message>
    <message>
        <source>Температура</source>
        <translation>Temperature</translation>
    </message>
    <message>
        <source>авто (медленно меняется)</source>
        <translation>auto (slow variation)</translation>
    </message>
    <message>
        <source>Кнопки руля (держите мышью)</source>
        <translation>Wheel buttons (hold with the mouse)</translation>
    </message>
    <message>
        <source>Пока нажата, посылает код рядом с ней</source>
        <translation>Sends the code beside it while held</translation>
    </message>
    <message>
        <source>16-битный код этой кнопки</source>
        <translation>The 16-bit code this button reports</translation>
    </message>
    <message>
        <source>Частота при удержании</source>
        <translation>Rate while held</translation>
    </message>
    <message>
        <source> отчётов/с</source>
        <translation> reports/s</translation>
    </message>
    <message>
        <source>Не брать фокус клавиатуры
(клавиши идут переднему окну)</source>
        <translation>Take no keyboard focus
(keys go to the window in front)</translation>
    </message>
    <message>
        <source>Снимите флажок, чтобы вводить коды и частоту с клавиатуры; пока он стоит, пользуйтесь стрелками или колёсиком мыши</source>
        <translation>Untick to type codes and the rate from the keyboard; while ticked, use the arrows or the mouse wheel</translation>
    </message>
    <message>
        <source>Блок, хранимый в контроллере</source>
        <translation>Block stored in the controller</translation>
    </message>
    <message>
        <source>да</source>
        <translation>yes</translation>
    </message>
    <message>
        <source>нет</source>
        <translation>no</translation>
    </message>
</context>
<context>
    <name>ui::TForm1</name>
    <message>
        <source>Индикаторы</source>
        <translation>Indicators</translation>
    </message>
    <message>
        <source>Параметры</source>
        <translation>Parameters</translation>
    </message>
    <message>
        <source>Кнопки</source>
        <translation>Buttons</translation>
    </message>
    <message>
        <source>Свернуть</source>
        <translation>Hide</translation>
    </message>
</context>
<context>
    <name>ui::TrayIcon</name>
    <message>
        <source>нет прав доступа</source>
        <translation>permission denied</translation>
    </message>
    <message>
        <source>устройство занято</source>
        <translation>the device is busy</translation>
    </message>
    <message>
        <source>Контроллер подключён (%1), но открыть его нельзя: %2. Смотрите раздел «Permissions» в README: правило udev 60-drevonix.rules, затем переподключите контроллер.</source>
        <translation>The controller is attached (%1), but it cannot be opened: %2. See “Permissions” in the README: the udev rule 60-drevonix.rules, then plug the controller in again.</translation>
    </message>
</context>
<context>
    <name>settings</name>
    <message>
        <source>Старт</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Стоп</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>Следущая песня</source>
        <translation>Next song</translation>
    </message>
    <message>
        <source>Предыдущая песня</source>
        <translation>Previous song</translation>
    </message>
    <message>
        <source>Вперед на 5 секунд</source>
        <translation>Forward 5 seconds</translation>
    </message>
    <message>
        <source>Назад на 5 секунд</source>
        <translation>Back 5 seconds</translation>
    </message>
    <message>
        <source>Громче</source>
        <translation>Louder</translation>
    </message>
    <message>
        <source>Тише</source>
        <translation>Quieter</translation>
    </message>
    <message>
        <source>На 10 песен вперед</source>
        <translation>10 songs forward</translation>
    </message>
    <message>
        <source>На 10 песен назад</source>
        <translation>10 songs back</translation>
    </message>
    <message>
        <source>Пауза/Продолжить</source>
        <translation>Pause/Resume</translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation>Close</translation>
    </message>
</context>
</TS>
